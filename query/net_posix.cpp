// The exporter's TCP sockets, readiness waits and stop request over POSIX sockets.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
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

intptr_t NetListen(uint32_t address, uint16_t port, std::string& error) {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(address);
    at.sin_port = htons(port);
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    const int on = 1;
    if (s < 0 || setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
        bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(s, SOMAXCONN) != 0) {
        error = std::strerror(errno);
        if (s >= 0) close(s);
        return -1;
    }
    return s;
}

intptr_t NetAccept(intptr_t listener) {
    const int s = accept4(Fd(listener), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (s < 0) return -1;
    const int on = 1;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return s;
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
