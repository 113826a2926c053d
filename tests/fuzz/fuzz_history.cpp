// Fuzzes LoadHistory with any bytes: a history that loads saves and loads again unchanged.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "status/history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const uint32_t now = 29000000;  // the seed's minutes lie just before it
    History history, reloaded;
    if (!LoadHistory(history, data, size, now)) {
        if (!history.Servers.empty()) __builtin_trap();
        return 0;
    }
    std::vector<unsigned char> saved, again;
    SaveHistory(history, saved);
    if (!LoadHistory(reloaded, saved.data(), saved.size(), now)) __builtin_trap();
    SaveHistory(reloaded, again);
    if (saved != again) __builtin_trap();
    return 0;
}
