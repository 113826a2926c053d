// The query tool's UDP socket over Winsock.
#include <winsock2.h>
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>

#include "query/udp.h"

bool UdpConnect(const std::string& host, uint16_t port, UdpLink& link, std::string& error) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 0), &data) != 0) {
        error = "cannot start Winsock";
        return false;
    }
    hostent* entry = gethostbyname(host.c_str());
    if (!entry || entry->h_addrtype != AF_INET) {
        error = "cannot resolve " + host;
        return false;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    std::memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof address.sin_addr);
    address.sin_port = htons(port);
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET || connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (s != INVALID_SOCKET) closesocket(s);
        error = "cannot connect to " + host;
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
    return n < 0 ? -1 : n;  // an oversize datagram fails with WSAEMSGSIZE
}

void UdpClose(UdpLink& link) {
    if (link.Socket != -1) closesocket(static_cast<SOCKET>(link.Socket));
    link.Socket = -1;
    WSACleanup();
}

void UseBinaryStdout() { _setmode(_fileno(stdout), _O_BINARY); }
