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

constexpr uint32_t HISTORY_ASIDE_MINUTES = 24 * 60; // how long a steady clock keeps what a change of it set aside

// The clock the samples were recorded by is home. When the system's clock is set (the poll cycle
// tells that from the time that passed), what no longer fits its week is set aside; what was set
// aside and fits again comes back, and wins over what was recorded meanwhile: while the clock is
// away from home, what it records is the doubtful part. Back home, what the wrong clock left
// outside the week is forgotten; after a day of steady clock away from home, the clock it shows is
// taken as home and what was set aside is forgotten.
struct History {
    std::vector<ServerHistory> Servers;  // the samples that fit the clock's week, one record a name
    // What no longer fits it, a name in as many records as its span takes (each at most a week).
    std::vector<ServerHistory> Aside;
    uint32_t Clock = 0;       // the minute of the last report, load or change of the clock
    uint32_t AsideSince = 0;  // the minute of the last change of the clock, or of the load, that set samples aside
    int32_t Away = 0;         // how many minutes the clock reads ahead of home (behind: below 0); 0 at home
    // Away was judged at start: behind, the clock may be further behind (for how long the program was
    // closed is not known); ahead, a minute less (each reading is rounded to the minute).
    bool AwayRough = false;
    size_t NextGuess = 0;     // where the next reported server is looked for first
};

// Adds one report's counts at `minute`: each entry's Players (-1 DOWN); a name listed twice counts by
// its first entry. Within one minute the last report sets Players and the highest sets Peak (a count
// beats DOWN; DOWN only when every report of the minute said DOWN). Minutes a server was not reported
// in read as HISTORY_NONE. A clock that went back less than a change of it (minute older than a
// server's newest) forgets that server's samples after `minute`, so the newest is always `minute`.
// With 256 servers kept, a new name takes the place of the one seen least recently, never of one the
// same report lists. While the clock is away from home, what leaves the week is set aside. Allocates
// only for servers not seen before, and for what is set aside.
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
// ISO 8601 in local time with the offset from UTC, like 2026-12-08T21:05:00+01:00, so that the
// hour repeated when summer time ends reads apart.
std::string LocalTimeText(int64_t secondsSince1970);
// One server's samples as CSV: a line "time,players,peak", then one line a minute seen, oldest
// first, the time in local time with its offset, DOWN as an empty field.
std::string ServerHistoryCsv(const ServerHistory& server);
// The clock was set: it reads `minute` now, `away` minutes ahead of home (0: home again).
void MoveHistoryClock(History& history, uint32_t minute, int32_t away);
// Adds every sample of `from` that `into` does not have: into its servers where it fits the clock
// of `into`, else to what is set aside. Samples `into` has win.
void MergeHistory(History& into, const History& from);
// Forgets samples older than 7 days before `minute`, and servers left with none; after a day of
// steady clock, what a change of it set aside too.
void TrimHistory(History& history, uint32_t minute);

enum class HistoryLoad { Loaded, Damaged, Newer };
// SaveHistory appends the history's servers to `out`. ReadHistory replaces `history` from the bytes
// as they stand, or leaves it empty and says why: short, damaged or plainly foreign (Damaged), or
// written by a later version of the program (Newer). SaveAside appends what is set aside and the
// state of the clock, when there is any (the same layout with a few bytes after it).
void SaveHistory(const History& history, std::vector<unsigned char>& out);
void SaveAside(const History& history, std::vector<unsigned char>& out);
HistoryLoad ReadHistory(History& history, const unsigned char* data, size_t size);
// Reads the servers' bytes and what SaveAside wrote (when there is any; a damaged one counts as
// none), and fits them to the clock at `nowMinute`: a clock behind the newest sample was set back
// while the program was closed, and one that reads where home would again has come home. The
// result is that of the servers' bytes; what was set aside is read whatever they hold, but for a
// later version's.
HistoryLoad LoadHistory(History& history, const unsigned char* data, size_t size, uint32_t nowMinute,
                        const unsigned char* aside = nullptr, size_t asideSize = 0);
// Bytes the history holds in memory (its samples and names).
size_t HistoryMemoryBytes(const History& history);
