// The exporter's TCP sockets, readiness waits and stop request over POSIX sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <csignal>
#include <cstring>
#include <vector>

#include "query/net.h"

namespace {
volatile std::sig_atomic_t stopRequested = 0;
void OnStopSignal(int) { stopRequested = 1; }

int Fd(intptr_t socket) { return static_cast<int>(socket); }

long Outcome(ssize_t n) {
    if (n >= 0) return static_cast<long>(n);
    return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? NET_WOULD_BLOCK : NET_FAILED;
}
}  // namespace

intptr_t NetListen(const std::string& host, uint16_t port, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int refused = getaddrinfo(host.empty() ? nullptr : host.c_str(), std::to_string(port).c_str(), &hints, &found);
    if (refused != 0) {
        error = gai_strerror(refused);
        return -1;
    }
    // Every interface: the IPv6 wildcard, which takes IPv4 clients too, where the system has IPv6.
    std::vector<const addrinfo*> tries;
    for (const addrinfo* a = found; a; a = a->ai_next) tries.insert(a->ai_family == AF_INET6 ? tries.begin() : tries.end(), a);
    int s = -1;
    for (const addrinfo* a : tries) {
        s = socket(a->ai_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        const int on = 1, off = 0;
        if (s >= 0 && setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0 &&
            (a->ai_family != AF_INET6 || setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off) == 0) &&
            bind(s, a->ai_addr, a->ai_addrlen) == 0 && listen(s, SOMAXCONN) == 0)
            break;
        error = std::strerror(errno);
        if (s >= 0) close(s);
        s = -1;
    }
    freeaddrinfo(found);
    return s;
}

intptr_t NetAccept(intptr_t listener, bool& outOfDescriptors) {
    const int s = accept4(Fd(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    outOfDescriptors = s < 0 && (errno == EMFILE || errno == ENFILE);
    if (s < 0) return -1;
    const int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return s;
}

size_t NetDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return SIZE_MAX;
    return static_cast<size_t>(limit.rlim_cur);
}

long NetReceive(intptr_t socket, unsigned char* buffer, size_t room) { return Outcome(recv(Fd(socket), buffer, room, 0)); }

long NetSend(intptr_t socket, const char* bytes, size_t n) {
    return Outcome(send(Fd(socket), bytes, n, MSG_NOSIGNAL));
}

void NetShutdownSend(intptr_t socket) { shutdown(Fd(socket), SHUT_WR); }

void NetClose(intptr_t socket) { close(Fd(socket)); }

int NetWait(NetWaitItem* items, size_t n, int timeoutMs) {
    static std::vector<pollfd> fds;  // kept between calls: the wait allocates nothing once grown
    fds.resize(n);
    for (size_t i = 0; i < n; ++i)
        fds[i] = pollfd{Fd(items[i].Socket), static_cast<short>((items[i].Read ? POLLIN : 0) | (items[i].Write ? POLLOUT : 0)), 0};
    const int ready = poll(fds.data(), fds.size(), timeoutMs);
    for (size_t i = 0; i < n; ++i) {
        items[i].Readable = ready > 0 && (fds[i].revents & POLLIN);
        items[i].Writable = ready > 0 && (fds[i].revents & POLLOUT);
        items[i].Broken = ready > 0 && (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL));
    }
    return ready;
}

void NetCatchStop() {
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool NetStopRequested() { return stopRequested != 0; }
