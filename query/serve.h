// The serve command: polls the status service like Tallowin and serves the last report to Prometheus.
#pragma once

#include <cstdint>
#include <string>

// TCP, outside the 9100 to 9999 range of the exporters' port list: the service's UDP port plus one.
constexpr const char* DEFAULT_LISTEN_ADDRESS = "127.0.0.1:24253";

// Runs until SIGINT or SIGTERM (Ctrl+C on Windows), then returns 0; 2 with a message when the
// listen address is malformed, the host does not resolve or the address cannot be bound.
int Serve(const std::string& host, uint16_t port, const std::string& listenAddress);
