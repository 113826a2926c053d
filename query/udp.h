// A connected UDP socket for the query tool, over POSIX sockets or Winsock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct UdpLink {
    intptr_t Socket = -1;
};

constexpr long UDP_OVERSIZE = -2;

// Resolves host (IPv4 or IPv6) and connects to the first address that takes it; false with a message
// in error.
bool UdpConnect(const std::string& host, uint16_t port, UdpLink& link, std::string& error);
bool UdpSend(const UdpLink& link, const unsigned char* bytes, size_t n);
// Bytes received, 0 when the wait ran out, UDP_OVERSIZE for a datagram longer than room (it is
// dropped), -1 on another receive failure (a refusal by the host, say).
long UdpReceive(const UdpLink& link, unsigned char* buffer, size_t room, int timeoutMs);
void UdpClose(UdpLink& link);
// Standard output carries the report's bytes unchanged (no CR added on Windows).
void UseBinaryStdout();
