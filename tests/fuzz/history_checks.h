// What every history that loads must bear: a report, a trim and a change of clock after it, and a
// save that reads back and saves again byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "status/history.h"

inline void CheckHistoryAfterLoad(const uint8_t* data, size_t size) {
    const uint32_t now = 29000000;  // the seed's minutes lie just before it
    History history;
    if (LoadHistory(history, data, size, now) != HistoryLoad::Loaded) {
        if (!history.Servers.empty()) __builtin_trap();
        return;
    }
    std::vector<ServerEntry> report;
    for (size_t i = 0; i < history.Servers.size() && i < 4; ++i)
        report.push_back({history.Servers[i].Name, static_cast<int32_t>(size % 70000) - 2, 0});
    report.push_back({"new", 1, 0});
    AddReport(history, now + static_cast<uint32_t>(size % 3), report);
    TrimHistory(history, now + static_cast<uint32_t>(size % 2000));
    MoveHistoryClock(history, now - static_cast<uint32_t>(size % 20000));
    for (const std::vector<ServerHistory>* list : {&history.Servers, &history.Aside})
        for (const ServerHistory& server : *list)
            if (server.Newest < server.Oldest || server.Newest - server.Oldest >= HISTORY_MINUTES) __builtin_trap();
    std::vector<unsigned char> saved, again;
    SaveHistory(history, saved);
    History reloaded;
    if (ReadHistory(reloaded, saved.data(), saved.size()) != HistoryLoad::Loaded) __builtin_trap();
    SaveHistory(reloaded, again);
    if (saved != again) __builtin_trap();
}
