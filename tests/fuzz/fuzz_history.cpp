// Fuzzes LoadHistory: a history that loads bears a report, a trim and a change of clock, and saves
// what reads back and saves again byte for byte. Built a second time with SEAL_CRC, it makes the last
// four bytes the CRC-32 of the rest first, so that its changes reach the reader of the minutes.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "status/history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
#ifdef SEAL_CRC
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i + 4 < size; ++i)
        for (int bit = 0; bit < 8; ++bit) crc = ((crc ^ (bytes[i] >> bit)) & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    for (size_t i = 0; size >= 4 && i < 4; ++i) bytes[size - 4 + i] = static_cast<uint8_t>(~crc >> (8 * i));
#endif
    const uint32_t now = 29000000;  // the seed's minutes lie just before it
    History history, reloaded;
    if (LoadHistory(history, bytes.data(), size, now) != HistoryLoad::Loaded) {
        if (!history.Servers.empty()) __builtin_trap();
        return 0;
    }
    std::vector<ServerEntry> report = {{"new", 1, 0}};
    for (size_t i = 0; i < history.Servers.size() && i < 4; ++i)
        report.push_back({history.Servers[i].Name, static_cast<int32_t>(size % 70000) - 2, 0});
    AddReport(history, now + static_cast<uint32_t>(size % 3), report);
    TrimHistory(history, now + static_cast<uint32_t>(size % 2000));
    MoveHistoryClock(history, now - static_cast<uint32_t>(size % 20000), static_cast<int32_t>(size % 3) - 1);
    for (const std::vector<ServerHistory>* list : {&history.Servers, &history.Aside})
        for (const ServerHistory& server : *list)
            if (server.Newest < server.Oldest || server.Newest - server.Oldest >= HISTORY_MINUTES) __builtin_trap();
    std::vector<unsigned char> saved, again;
    SaveHistory(history, saved);
    if (ReadHistory(reloaded, saved.data(), saved.size()) != HistoryLoad::Loaded) __builtin_trap();
    SaveHistory(reloaded, again);
    if (saved != again) __builtin_trap();
    return 0;
}
