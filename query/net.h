// TCP sockets, readiness waits and the stop request for the exporter, over POSIX sockets or Winsock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr long NET_WOULD_BLOCK = -1;
constexpr long NET_FAILED = -2;

// One socket to wait for; Readable, Writable and Broken are set by NetWait.
struct NetWaitItem {
    intptr_t Socket;
    bool Read, Write;
    bool Readable, Writable, Broken;
};

// A listening socket, non-blocking, on a numeric address (IPv4 or IPv6; an IPv6 one takes IPv4
// clients too), or on every interface when host is empty; -1 with a message in error.
intptr_t NetListen(const std::string& host, uint16_t port, std::string& error);
// A waiting client's socket, non-blocking and without send delay, or -1 when none waits or it could
// not be taken; outOfDescriptors tells that the process has no descriptor left for it.
intptr_t NetAccept(intptr_t listener, bool& outOfDescriptors);
// How many descriptors the process may hold open (sockets on Windows have no such limit: a large number).
size_t NetDescriptorLimit();
// Bytes received, 0 when the peer has closed, NET_WOULD_BLOCK or NET_FAILED.
long NetReceive(intptr_t socket, unsigned char* buffer, size_t room);
// Bytes sent, NET_WOULD_BLOCK or NET_FAILED; never raises a signal for a peer gone away.
long NetSend(intptr_t socket, const char* bytes, size_t n);
void NetShutdownSend(intptr_t socket);
void NetClose(intptr_t socket);
// Waits at most timeoutMs for any item; the count of ready items, 0, or -1 (interrupted included).
int NetWait(NetWaitItem* items, size_t n, int timeoutMs);
// From here on SIGINT and SIGTERM (Ctrl+C, Ctrl+Break or closing the console on Windows) only set
// the stop request.
void NetCatchStop();
bool NetStopRequested();
