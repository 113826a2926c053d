// A connected UDP socket for the query tool, over POSIX sockets or Winsock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct UdpLink {
    intptr_t Socket = -1;
};

// Resolves host and connects; false with a message in error.
bool UdpConnect(const std::string& host, uint16_t port, UdpLink& link, std::string& error);
bool UdpSend(const UdpLink& link, const unsigned char* bytes, size_t n);
// Bytes received, 0 when the wait ran out, -1 on a receive failure (an oversize datagram included).
long UdpReceive(const UdpLink& link, unsigned char* buffer, size_t room, int timeoutMs);
void UdpClose(UdpLink& link);
// Standard output carries the report's bytes unchanged (no CR added on Windows).
void UseBinaryStdout();
