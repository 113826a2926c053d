// The query tool's UDP socket over POSIX sockets.
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

#include "query/udp.h"

bool UdpConnect(const std::string& host, uint16_t port, UdpLink& link, std::string& error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
        error = "cannot resolve " + host;
        return false;
    }
    int s = -1;
    for (const addrinfo* a = found; a && s < 0; a = a->ai_next) {
        s = socket(a->ai_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (s >= 0 && connect(s, a->ai_addr, a->ai_addrlen) != 0) {
            close(s);
            s = -1;
        }
    }
    freeaddrinfo(found);
    if (s < 0) {
        error = "cannot connect to " + host;
        return false;
    }
    link.Socket = s;
    return true;
}

bool UdpSend(const UdpLink& link, const unsigned char* bytes, size_t n) {
    return send(static_cast<int>(link.Socket), bytes, n, 0) == static_cast<ssize_t>(n);
}

long UdpReceive(const UdpLink& link, unsigned char* buffer, size_t room, int timeoutMs) {
    pollfd fd{static_cast<int>(link.Socket), POLLIN, 0};
    if (poll(&fd, 1, timeoutMs) <= 0) return 0;
    const ssize_t n = recv(static_cast<int>(link.Socket), buffer, room, MSG_TRUNC);
    if (n < 0) return -1;
    if (static_cast<size_t>(n) > room) return UDP_OVERSIZE;
    return static_cast<long>(n);
}

void UdpClose(UdpLink& link) {
    if (link.Socket >= 0) close(static_cast<int>(link.Socket));
    link.Socket = -1;
}

void UseBinaryStdout() {}
