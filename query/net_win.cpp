// The exporter's TCP sockets, readiness waits and stop request over Winsock; WSAPoll has no
// 64-socket limit as select has.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "query/net.h"

namespace {
volatile LONG stopRequested = 0;

BOOL WINAPI OnConsoleEvent(DWORD event) {
    if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) return FALSE;
    InterlockedExchange(&stopRequested, 1);
    return TRUE;
}

SOCKET Handle(intptr_t socket) { return static_cast<SOCKET>(socket); }

long Outcome(int n) {
    if (n != SOCKET_ERROR) return n;
    return WSAGetLastError() == WSAEWOULDBLOCK ? NET_WOULD_BLOCK : NET_FAILED;
}

bool MakeNonBlocking(SOCKET s) {
    u_long on = 1;
    return ioctlsocket(s, FIONBIO, &on) == 0;
}
}  // namespace

intptr_t NetListen(const std::string& host, uint16_t port, std::string& error) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "cannot start Winsock";
        return -1;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.empty() ? nullptr : host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) {
        error = "Winsock error " + std::to_string(WSAGetLastError());
        return -1;
    }
    // Every interface: the IPv6 wildcard, which takes IPv4 clients too, where the system has IPv6.
    std::vector<const addrinfo*> tries;
    for (const addrinfo* a = found; a; a = a->ai_next) tries.insert(a->ai_family == AF_INET6 ? tries.begin() : tries.end(), a);
    SOCKET s = INVALID_SOCKET;
    for (const addrinfo* a : tries) {
        s = socket(a->ai_family, SOCK_STREAM, 0);
        // Exclusive, so that no other program can take over the same address and port.
        BOOL on = TRUE;
        DWORD off = 0;
        if (s != INVALID_SOCKET && a->ai_family == AF_INET6)
            setsockopt(s, IPPROTO_IPV6, IPV6_V6ONLY, reinterpret_cast<const char*>(&off), sizeof off);
        if (s != INVALID_SOCKET &&
            setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on) == 0 &&
            MakeNonBlocking(s) && bind(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 && listen(s, SOMAXCONN) == 0)
            break;
        error = "Winsock error " + std::to_string(WSAGetLastError());
        if (s != INVALID_SOCKET) closesocket(s);
        s = INVALID_SOCKET;
    }
    freeaddrinfo(found);
    return s == INVALID_SOCKET ? -1 : static_cast<intptr_t>(s);
}

intptr_t NetAccept(intptr_t listener, bool& outOfDescriptors) {
    const SOCKET s = accept(Handle(listener), nullptr, nullptr);
    outOfDescriptors = s == INVALID_SOCKET && (WSAGetLastError() == WSAEMFILE || WSAGetLastError() == WSAENOBUFS);
    if (s == INVALID_SOCKET) return -1;
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    if (!MakeNonBlocking(s)) {
        closesocket(s);
        return -1;
    }
    return static_cast<intptr_t>(s);
}

size_t NetDescriptorLimit() { return SIZE_MAX; }

long NetReceive(intptr_t socket, unsigned char* buffer, size_t room) {
    return Outcome(recv(Handle(socket), reinterpret_cast<char*>(buffer), static_cast<int>(room), 0));
}

long NetSend(intptr_t socket, const char* bytes, size_t n) {
    return Outcome(send(Handle(socket), bytes, static_cast<int>(n), 0));
}

void NetShutdownSend(intptr_t socket) { shutdown(Handle(socket), SD_SEND); }

void NetClose(intptr_t socket) { closesocket(Handle(socket)); }

int NetWait(NetWaitItem* items, size_t n, int timeoutMs) {
    static std::vector<WSAPOLLFD> fds;  // kept between calls: the wait allocates nothing once grown
    fds.resize(n);
    for (size_t i = 0; i < n; ++i) {
        fds[i].fd = Handle(items[i].Socket);
        fds[i].events = static_cast<SHORT>((items[i].Read ? POLLRDNORM : 0) | (items[i].Write ? POLLWRNORM : 0));
        fds[i].revents = 0;
    }
    const int ready = WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), timeoutMs);
    for (size_t i = 0; i < n; ++i) {
        items[i].Readable = ready > 0 && (fds[i].revents & POLLRDNORM);
        items[i].Writable = ready > 0 && (fds[i].revents & POLLWRNORM);
        items[i].Broken = ready > 0 && (fds[i].revents & (POLLERR | POLLHUP | POLLNVAL));
    }
    return ready;
}

void NetCatchStop() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool NetStopRequested() { return InterlockedCompareExchange(&stopRequested, 0, 0) != 0; }
