// The query tool's UDP socket over Winsock.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "query/udp.h"

bool UdpConnect(const std::string& host, uint16_t port, UdpLink& link, std::string& error) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        error = "cannot start Winsock";
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
        error = "cannot resolve " + host;
        WSACleanup();
        return false;
    }
    SOCKET s = INVALID_SOCKET;
    for (const addrinfo* a = found; a && s == INVALID_SOCKET; a = a->ai_next) {
        s = socket(a->ai_family, SOCK_DGRAM, 0);
        if (s != INVALID_SOCKET && connect(s, a->ai_addr, static_cast<int>(a->ai_addrlen)) != 0) {
            closesocket(s);
            s = INVALID_SOCKET;
        }
    }
    freeaddrinfo(found);
    if (s == INVALID_SOCKET) {
        error = "cannot connect to " + host;
        WSACleanup();
        return false;
    }
    link.Socket = static_cast<intptr_t>(s);
    return true;
}

bool UdpSend(const UdpLink& link, const unsigned char* bytes, size_t n) {
    return send(static_cast<SOCKET>(link.Socket), reinterpret_cast<const char*>(bytes), static_cast<int>(n), 0) ==
           static_cast<int>(n);
}

long UdpReceive(const UdpLink& link, unsigned char* buffer, size_t room, int timeoutMs) {
    const SOCKET s = static_cast<SOCKET>(link.Socket);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    if (select(0, &readable, nullptr, nullptr, &wait) <= 0) return 0;
    const int n = recv(s, reinterpret_cast<char*>(buffer), static_cast<int>(room), 0);
    if (n >= 0) return n;
    return WSAGetLastError() == WSAEMSGSIZE ? UDP_OVERSIZE : -1;
}

// Each open link holds one start of Winsock: a link never opened holds none.
void UdpClose(UdpLink& link) {
    if (link.Socket == -1) return;
    closesocket(static_cast<SOCKET>(link.Socket));
    link.Socket = -1;
    WSACleanup();
}

void UseBinaryStdout() { _setmode(_fileno(stdout), _O_BINARY); }
