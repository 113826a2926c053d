// Scenarios of the status simulator: the servers it reports, its banner and its faults.
#pragma once

#include <string>
#include <vector>

using Datagram = std::vector<unsigned char>;

// An unrequested datagram sent to the client `After` seconds after its first request.
struct Injection {
    double After = 0;
    Datagram Bytes;
    int Count = 1;
};

struct Scenario {
    Datagram NamesAnswer;
    Datagram StatusAnswer;
    Datagram BannerAnswer;
    bool Silent = false;      // answer nothing
    double StopAfter = 0;     // stop answering this many seconds after the first request; 0 never
    std::vector<Injection> Injections;
};

// Reads a scenario from its JSON text; on failure returns false with a message in error.
bool ParseScenario(const std::string& json, Scenario& scenario, std::string& error);
// The scenario served when none is given.
extern const char* const DEFAULT_SCENARIO_JSON;
// Hex digits (spaces allowed) to bytes; false on a bad digit or an odd count.
bool ParseHex(const std::string& hex, Datagram& bytes);
