// Player counts over time: one sample per server per minute for 7 days, in memory and as a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "status/decode.h"

constexpr uint32_t HISTORY_MINUTES = 7 * 24 * 60;
constexpr int32_t HISTORY_DOWN = -1;  // as ServerEntry::Players
constexpr int32_t HISTORY_NONE = -2;  // not seen in that minute
constexpr size_t HISTORY_MAX_SERVERS = 256;
constexpr size_t HISTORY_NAME_MAX = 255;  // longer names are cut to this many bytes

// A minute's last count and its highest; each a count >= 0, HISTORY_DOWN or HISTORY_NONE.
struct MinuteSample {
    int32_t Players;
    int32_t Peak;
};

// One server's minutes in a ring indexed by minute % HISTORY_MINUTES. Only the minutes from Oldest
// to Newest are read; the others hold whatever an earlier week left.
struct ServerHistory {
    std::string Name;
    uint32_t Oldest = 0;
    uint32_t Newest = 0;
    int32_t NewestPeak = HISTORY_NONE;  // the newest minute's highest, exact while reports add to it
    std::vector<uint16_t> Counts;       // a count, or the DOWN or not-seen code (see history.cpp)
    std::vector<uint8_t> Rises;         // how far the minute's highest rose above its count
};

struct History {
    std::vector<ServerHistory> Servers;
    size_t NextGuess = 0;  // where the next reported server is looked for first
};

// Adds one report's counts at `minute`: each entry's Players (-1 DOWN). Within one minute the last
// report sets Players and the highest sets Peak (a count beats DOWN; DOWN only when every report of
// the minute said DOWN). Minutes a server was not reported in read as HISTORY_NONE. A clock that went
// back (minute older than a server's newest) forgets that server's samples after `minute`, so the
// newest is always `minute`. Allocates only for servers not seen before.
void AddReport(History& history, uint32_t minute, const std::vector<ServerEntry>& servers);
const ServerHistory* FindServerHistory(const History& history, const std::string& name);
// HISTORY_NONE outside the kept 7 days.
MinuteSample SampleAt(const ServerHistory& server, uint32_t minute);
uint32_t NewestMinute(const ServerHistory& server);
// For small graphs: splits the minutes [first, first + minutes) into `count` equal buckets and writes
// each bucket's highest Players (or highest Peak when `peaks`), HISTORY_DOWN when every sample seen
// in the bucket was DOWN, HISTORY_NONE when none was seen.
void BucketSamples(const ServerHistory& server, uint32_t first, uint32_t minutes, bool peaks, int32_t* out,
                   int count);
// The highest Peak in the minutes [first, first + minutes) and its minute (the first if repeated);
// false when no count was seen there.
bool PeakInRange(const ServerHistory& server, uint32_t first, uint32_t minutes, int32_t& peak, uint32_t& at);
// "YYYY-MM-DDTHH:MM:SS" in local time, 20 bytes with the zero.
void LocalMinuteText(uint32_t minute, char* text);
// One server's samples as CSV: a line "time,players,peak", then one line a minute seen, oldest
// first, the time in local time, DOWN as an empty field.
std::string ServerHistoryCsv(const ServerHistory& server);
// Whether a report at `minute` may be added: not when the clock has gone back more than an hour
// behind what the history holds, as a machine with a wrong clock does before it is set; adding
// would forget the newer samples.
bool HistoryTakes(const History& history, uint32_t minute);
// Forgets samples older than 7 days before `minute`, and servers left with none.
void TrimHistory(History& history, uint32_t minute);

// SaveHistory appends the whole history to `out`; LoadHistory replaces `history` from the bytes and
// returns true, or leaves it empty and returns false when the bytes are short, damaged, of another
// version or plainly foreign. It trims to 7 days before `nowMinute`.
void SaveHistory(const History& history, std::vector<unsigned char>& out);
bool LoadHistory(History& history, const unsigned char* data, size_t size, uint32_t nowMinute);
// Bytes the history holds in memory (its samples and names).
size_t HistoryMemoryBytes(const History& history);
