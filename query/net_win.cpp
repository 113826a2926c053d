// The exporter's TCP sockets, readiness waits and stop request over Winsock; WSAPoll has no
// 64-socket limit as select has.
#include <winsock2.h>
#include <windows.h>

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

intptr_t NetListen(uint32_t address, uint16_t port, std::string& error) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "cannot start Winsock";
        return -1;
    }
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(address);
    at.sin_port = htons(port);
    const SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    // Exclusive, so that no other program can take over the same address and port.
    BOOL on = TRUE;
    if (s == INVALID_SOCKET || setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&on), sizeof on) != 0 ||
        !MakeNonBlocking(s) || bind(s, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || listen(s, SOMAXCONN) != 0) {
        error = "Winsock error " + std::to_string(WSAGetLastError());
        if (s != INVALID_SOCKET) closesocket(s);
        return -1;
    }
    return static_cast<intptr_t>(s);
}

intptr_t NetAccept(intptr_t listener) {
    const SOCKET s = accept(Handle(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) return -1;
    BOOL on = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof on);
    if (!MakeNonBlocking(s)) {
        closesocket(s);
        return -1;
    }
    return static_cast<intptr_t>(s);
}

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
