// Player counts over time: one sample per server per minute for 7 days, in memory and as a file.
//
// Precision: a minute takes 3 bytes, a 16-bit field and an 8-bit rise code, so 64 servers with full
// 7 days hold 1.9 MB.
// - The 16-bit field holds the minute's last count (0 to 65533; a count of 65534 is kept as 65533),
//   65534 for a minute whose every report said DOWN, or 65535 for a minute not seen.
// - The rise code says how far the minute's highest rose above the last count: codes 0 to 127 are
//   the rise itself; codes 128 to 254 are a geometric scale from 128 to 65533, each step about 5%
//   above the one before, and a rise between two steps is kept as the lower one, so a peak read back
//   is at most 4.9% below the one seen and never above it. Code 255 means the minute ended DOWN and the
//   16-bit field holds its highest count. The newest minute keeps its exact highest beside the ring,
//   so reports within one minute lose nothing to the scale until the minute is done.
// - In memory a minute not seen may keep an older minute's rise code; the file has 0 there.
//
// Hostile input (a damaged or foreign file, and report entries of any shape) gets these decisions:
// - ReadHistory rejects rather than guesses: bad magic, another version, a bad checksum, a server
//   count over 256, a span of 0 or over 10080 minutes or reaching before minute 0, a 16-bit field
//   and rise code that the writer never pairs (a code with DOWN or not seen, a peak over 65533), a
//   newest minute not seen, a duplicate name, or bytes after the last server. The history is then
//   left empty.
// - The file is read through a cursor that stops at its end whatever the counts say; the server
//   list is reserved only after the count is checked against the bytes left, and a server's ring
//   (30 KB, the in-memory form) is allocated only once its whole record is known to be there, so a
//   file of n bytes makes at most n / 10 rings and never more than 256.
// - A name is any bytes; the first 255 are kept, so names alike in those share one history, and a
//   name that a report lists twice adds twice to the same minute.
// - A Players value below 0 counts as DOWN; one above 65533 as 65533.
// - Beyond 256 servers, a new name takes the place of the one seen least recently.
// - A file of a later version is not read at all (the caller leaves it alone); one dated ahead of the
//   clock, or wholly older than its week, is set aside rather than forgotten, as a wrong clock may be
//   to blame.
#include "status/history.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <array>
#include <cstring>

namespace {
constexpr uint16_t COUNT_MAX = 65533;
constexpr uint16_t DOWN_FIELD = 65534;
constexpr uint16_t NONE_FIELD = 65535;
constexpr uint8_t ENDED_DOWN = 255;
constexpr uint32_t EXACT_RISES = 128;
constexpr size_t SCALE_STEPS = 127;

// The rises of codes 128 to 254: 128 times 1.0508 to the power of the step, in 16.16 fixed point so
// that every build reads the same scale.
constexpr std::array<uint16_t, SCALE_STEPS> MakeRiseScale() {
    std::array<uint16_t, SCALE_STEPS> scale{};
    uint64_t fixed = uint64_t{EXACT_RISES} << 16;
    for (size_t step = 0; step < SCALE_STEPS; ++step) {
        scale[step] = static_cast<uint16_t>((fixed + 0x8000) >> 16);
        fixed = (fixed * 68863) >> 16;
    }
    scale[SCALE_STEPS - 1] = COUNT_MAX;
    return scale;
}
constexpr std::array<uint16_t, SCALE_STEPS> RISE_SCALE = MakeRiseScale();

uint32_t RiseOf(uint8_t code) { return code < EXACT_RISES ? code : RISE_SCALE[code - EXACT_RISES]; }

uint8_t RiseCode(uint32_t rise) {
    if (rise < EXACT_RISES) return static_cast<uint8_t>(rise);
    const auto above = std::upper_bound(RISE_SCALE.begin(), RISE_SCALE.end(), rise);
    return static_cast<uint8_t>(EXACT_RISES + static_cast<uint32_t>(above - RISE_SCALE.begin()) - 1);
}

int32_t ClampPlayers(int32_t players) {
    if (players < 0) return HISTORY_DOWN;
    return players > COUNT_MAX ? COUNT_MAX : players;
}

size_t Slot(uint32_t minute) { return minute % HISTORY_MINUTES; }

MinuteSample DecodeSample(uint16_t field, uint8_t code) {
    if (field == NONE_FIELD) return {HISTORY_NONE, HISTORY_NONE};
    if (field == DOWN_FIELD) return {HISTORY_DOWN, HISTORY_DOWN};
    if (code == ENDED_DOWN) return {HISTORY_DOWN, field};
    const uint32_t peak = field + RiseOf(code);
    return {field, static_cast<int32_t>(peak > COUNT_MAX ? COUNT_MAX : peak)};
}

// Players is a count or DOWN; peak is the highest of the minute, at least Players.
void StoreSample(ServerHistory& server, uint32_t minute, int32_t players, int32_t peak) {
    uint16_t field;
    uint8_t code = 0;
    if (peak == HISTORY_DOWN) {
        field = DOWN_FIELD;
    } else if (players == HISTORY_DOWN) {
        field = static_cast<uint16_t>(peak);
        code = ENDED_DOWN;
    } else {
        field = static_cast<uint16_t>(players);
        code = RiseCode(static_cast<uint32_t>(peak - players));
    }
    server.Counts[Slot(minute)] = field;
    server.Rises[Slot(minute)] = code;
}

size_t NameLength(const std::string& name) { return std::min(name.size(), HISTORY_NAME_MAX); }

bool SameName(const ServerHistory& server, const std::string& name) {
    const size_t n = NameLength(name);
    return server.Name.size() == n && std::memcmp(server.Name.data(), name.data(), n) == 0;
}

// The server's history, looked for first where the last one found was followed; or nullptr.
ServerHistory* FindServer(std::vector<ServerHistory>& servers, size_t& guess, const std::string& name) {
    size_t found = servers.size();
    if (guess < servers.size() && SameName(servers[guess], name)) {
        found = guess;
    } else {
        for (size_t i = 0; i < servers.size(); ++i)
            if (SameName(servers[i], name)) { found = i; break; }
    }
    if (found == servers.size()) return nullptr;
    guess = found + 1;
    return &servers[found];
}

// A new history for the server, empty at `minute`; with 256 kept, the one seen least recently makes
// room, unless every one was seen at `minute` already (then nullptr).
ServerHistory* AddServer(std::vector<ServerHistory>& servers, size_t& guess, const std::string& name, uint32_t minute) {
    size_t found = servers.size();
    if (servers.size() >= HISTORY_MAX_SERVERS) {
        found = static_cast<size_t>(std::min_element(servers.begin(), servers.end(), [](const ServerHistory& a, const ServerHistory& b) {
                    return a.Newest < b.Newest;
                }) - servers.begin());
        if (servers[found].Newest >= minute) return nullptr;
    } else {
        servers.emplace_back();
        servers[found].Counts.resize(HISTORY_MINUTES);
        servers[found].Rises.resize(HISTORY_MINUTES);
    }
    ServerHistory& added = servers[found];
    added.Name.assign(name, 0, NameLength(name));
    added.Oldest = added.Newest = minute;
    added.NewestPeak = HISTORY_NONE;
    std::fill(added.Counts.begin(), added.Counts.end(), NONE_FIELD);
    std::fill(added.Rises.begin(), added.Rises.end(), 0);
    guess = found + 1;
    return &added;
}

ServerHistory* FindOrAddServer(std::vector<ServerHistory>& servers, size_t& guess, const std::string& name,
                               uint32_t minute) {
    ServerHistory* server = FindServer(servers, guess, name);
    return server != nullptr ? server : AddServer(servers, guess, name, minute);
}

void SetAside(std::vector<ServerHistory>& aside, const ServerHistory& source, uint32_t from, uint32_t to);

// Moves the server's newest minute to `minute`, forgetting what lies after it on a clock that went back.
void MoveNewestTo(ServerHistory& server, uint32_t minute) {
    if (minute > server.Newest) {
        if (minute - server.Newest >= HISTORY_MINUTES) {
            server.Oldest = minute;
        } else {
            for (uint32_t m = server.Newest + 1; m < minute; ++m) server.Counts[Slot(m)] = NONE_FIELD;
            if (minute - server.Oldest >= HISTORY_MINUTES) server.Oldest = minute - (HISTORY_MINUTES - 1);
        }
        server.NewestPeak = HISTORY_NONE;
    } else if (minute < server.Newest) {
        if (minute < server.Oldest) {
            server.Oldest = minute;
            server.NewestPeak = HISTORY_NONE;
        } else {
            server.NewestPeak = SampleAt(server, minute).Peak;
        }
    }
    server.Newest = minute;
}
}  // namespace

void AddReport(History& history, uint32_t minute, const std::vector<ServerEntry>& servers) {
    history.Clock = minute;
    // Servers already kept first, so that a new name never makes room by pushing out one the same
    // report lists; the names not kept yet, if any, after them.
    size_t listed = 0, found = 0;
    for (int pass = 0; pass < 2 && (pass == 0 || found < listed); ++pass) {
        for (size_t i = 0; i < servers.size(); ++i) {
            const ServerEntry& entry = servers[i];
            bool repeated = false;  // a name listed twice counts by its first entry
            for (size_t j = 0; j < i && !repeated; ++j) repeated = servers[j].Name == entry.Name;
            if (repeated) continue;
            listed += pass == 0;
            ServerHistory* server = FindServer(history.Servers, history.NextGuess, entry.Name);
            if (pass == 0 && server == nullptr) continue;
            if (pass == 1) {
                if (server != nullptr) continue;
                server = AddServer(history.Servers, history.NextGuess, entry.Name, minute);
                if (server == nullptr) continue;
            } else {
                ++found;
            }
            // Away from home, the week of the clock is not the week that passed: what it leaves is set aside.
            if (history.Away != 0 && minute > server->Newest && minute - server->Oldest >= HISTORY_MINUTES)
                SetAside(history.Aside, *server, server->Oldest, minute - HISTORY_MINUTES);
            MoveNewestTo(*server, minute);
            const int32_t players = ClampPlayers(entry.Players);
            // NONE < DOWN < any count, so the highest is a plain maximum.
            server->NewestPeak = std::max(server->NewestPeak, players);
            StoreSample(*server, minute, players, server->NewestPeak);
        }
    }
}

const ServerHistory* FindServerHistory(const History& history, const std::string& name) {
    for (const ServerHistory& server : history.Servers)
        if (SameName(server, name)) return &server;
    return nullptr;
}

MinuteSample SampleAt(const ServerHistory& server, uint32_t minute) {
    if (minute < server.Oldest || minute > server.Newest || server.Counts.empty())
        return {HISTORY_NONE, HISTORY_NONE};
    return DecodeSample(server.Counts[Slot(minute)], server.Rises[Slot(minute)]);
}

uint32_t NewestMinute(const ServerHistory& server) { return server.Newest; }

void BucketSamples(const ServerHistory& server, uint32_t first, uint32_t minutes, bool peaks, int32_t* out,
                   int count) {
    if (count <= 0) return;
    std::fill(out, out + count, HISTORY_NONE);
    // Only the kept minutes inside the range are read, each once.
    const uint64_t start = first;
    const uint64_t seenFrom = std::max<uint64_t>(start, server.Oldest);
    const uint64_t seenTo = std::min<uint64_t>(start + minutes, uint64_t{server.Newest} + 1);
    if (seenFrom >= seenTo || server.Counts.empty()) return;
    // Bucket b covers the minutes from edge(b) up to edge(b + 1).
    auto edge = [&](int b) {
        return start + uint64_t{minutes} * static_cast<uint64_t>(b) / static_cast<uint64_t>(count);
    };
    const uint16_t* counts = server.Counts.data();
    const uint8_t* rises = server.Rises.data();
    for (int bucket = 0; bucket < count; ++bucket) {
        // With more buckets than minutes, a bucket shows the minute it starts in rather than a gap.
        const uint64_t from = std::max(seenFrom, edge(bucket));
        const uint64_t to = std::min(seenTo, std::max(edge(bucket + 1), edge(bucket) + 1));
        int32_t highest = HISTORY_NONE;
        size_t slot = from < to ? Slot(static_cast<uint32_t>(from)) : 0;
        for (uint64_t m = from; m < to; ++m) {
            const MinuteSample sample = DecodeSample(counts[slot], rises[slot]);
            highest = std::max(highest, peaks ? sample.Peak : sample.Players);  // NONE < DOWN < any count
            if (++slot == HISTORY_MINUTES) slot = 0;
        }
        out[bucket] = highest;
    }
}

bool PeakInRange(const ServerHistory& server, uint32_t first, uint32_t minutes, int32_t& peak, uint32_t& at) {
    peak = HISTORY_NONE;
    const uint64_t from = std::max<uint64_t>(first, server.Oldest);
    const uint64_t to = std::min<uint64_t>(uint64_t{first} + minutes, uint64_t{server.Newest} + 1);
    for (uint64_t m = from; m < to && !server.Counts.empty(); ++m) {
        const int32_t highest = SampleAt(server, static_cast<uint32_t>(m)).Peak;
        if (highest > peak && highest >= 0) {
            peak = highest;
            at = static_cast<uint32_t>(m);
        }
    }
    return peak >= 0;
}

namespace {
// Days from 1970-01-01 to a date of the Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
    if (month <= 2) --year;  // the year counted from March, so that February's length comes last
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468;
}
}  // namespace

std::string LocalTimeText(int64_t secondsSince1970) {
    const std::time_t time = static_cast<std::time_t>(secondsSince1970);
    const std::tm* local = std::localtime(&time);
    if (local == nullptr) return std::to_string(secondsSince1970);  // beyond what the C library converts
    char text[64];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", local->tm_year + 1900,
                                local->tm_mon + 1, local->tm_mday, local->tm_hour, local->tm_min, local->tm_sec);
    if (n > 0) {
        // The offset is the local clock's reading taken as UTC, less the true time.
        const int64_t localSeconds = DaysFromCivil(local->tm_year + 1900, local->tm_mon + 1, local->tm_mday) * 86400 +
                                     local->tm_hour * 3600 + local->tm_min * 60 + local->tm_sec;
        const int64_t offset = (localSeconds - secondsSince1970) / 60;
        const int64_t magnitude = offset < 0 ? -offset : offset;
        std::snprintf(text + n, sizeof text - static_cast<size_t>(n), "%c%02d:%02d", offset < 0 ? '-' : '+',
                      static_cast<int>(magnitude / 60), static_cast<int>(magnitude % 60));
    }
    return text;
}

std::string ServerHistoryCsv(const ServerHistory& server) {
    std::string csv = "time,players,peak\n";
    for (uint64_t m = server.Oldest; m <= server.Newest && !server.Counts.empty(); ++m) {
        const MinuteSample sample = SampleAt(server, static_cast<uint32_t>(m));
        if (sample.Players == HISTORY_NONE) continue;
        auto field = [](int32_t count) { return count < 0 ? std::string() : std::to_string(count); };
        csv += LocalTimeText(static_cast<int64_t>(m) * 60) + ',' + field(sample.Players) + ',' +
               field(sample.Peak) + '\n';
    }
    return csv;
}

namespace {
// The first and last minutes of the week that ends at `minute`.
uint32_t WeekStart(uint32_t minute) { return minute >= HISTORY_MINUTES - 1 ? minute - (HISTORY_MINUTES - 1) : 0; }

bool Seen(const ServerHistory& server, uint32_t minute) { return server.Counts[Slot(minute)] != NONE_FIELD; }

// The first and last minutes seen within [from, to] of the server's span; false when there are none.
bool SeenWithin(const ServerHistory& server, uint32_t from, uint32_t to, uint32_t& first, uint32_t& last) {
    from = std::max(from, server.Oldest);
    to = std::min(to, server.Newest);
    if (server.Counts.empty() || from > to) return false;
    while (from < to && !Seen(server, from)) ++from;
    while (to > from && !Seen(server, to)) --to;
    first = from;
    last = to;
    return Seen(server, from);
}

// Copies the minutes seen in [from, to] of `source` into `server`, over what it has there when
// `overwrite`; the span of both together must fit a week.
void CopyMinutes(ServerHistory& server, const ServerHistory& source, uint32_t from, uint32_t to, bool overwrite) {
    for (uint32_t m = from; m - from <= to - from; ++m) {
        if (!Seen(source, m) || (!overwrite && m >= server.Oldest && m <= server.Newest && Seen(server, m))) continue;
        if (m > server.Newest) {
            MoveNewestTo(server, m);
        } else if (m < server.Oldest) {
            for (uint32_t gap = m + 1; gap < server.Oldest; ++gap) server.Counts[Slot(gap)] = NONE_FIELD;
            server.Oldest = m;
        }
        server.Counts[Slot(m)] = source.Counts[Slot(m)];
        server.Rises[Slot(m)] = source.Rises[Slot(m)];
    }
    server.NewestPeak = SampleAt(server, server.Newest).Peak;
}

// Keeps the server's minutes within [from, to]; false when none of them was seen.
bool KeepWithin(ServerHistory& server, uint32_t from, uint32_t to) {
    uint32_t first = 0, last = 0;
    if (!SeenWithin(server, from, to, first, last)) return false;
    server.Oldest = std::max(server.Oldest, from);
    if (last != server.Newest) server.NewestPeak = SampleAt(server, last).Peak;
    server.Newest = last;
    return true;
}

// Sets the record aside, into one of its name whose span can take it (what is there wins), or as it is.
void SetAside(std::vector<ServerHistory>& aside, ServerHistory&& record) {
    for (ServerHistory& kept : aside) {
        if (kept.Name == record.Name && std::max(kept.Newest, record.Newest) - std::min(kept.Oldest, record.Oldest) < HISTORY_MINUTES) {
            CopyMinutes(kept, record, record.Oldest, record.Newest, false);
            return;
        }
    }
    if (aside.size() < HISTORY_MAX_SERVERS) aside.push_back(std::move(record));  // what a file holds at most
}

// Sets aside a copy of the minutes seen in [from, to] of `source`.
void SetAside(std::vector<ServerHistory>& aside, const ServerHistory& source, uint32_t from, uint32_t to) {
    uint32_t first = 0, last = 0;
    if (!SeenWithin(source, from, to, first, last)) return;
    ServerHistory record;
    record.Name = source.Name;
    record.Oldest = record.Newest = last;
    record.Counts.assign(HISTORY_MINUTES, NONE_FIELD);
    record.Rises.assign(HISTORY_MINUTES, 0);
    CopyMinutes(record, source, first, last, true);
    SetAside(aside, std::move(record));
}

// Adds the minutes of `source` within [from, to] to the servers, over what they have there when
// `overwrite`, and sets the rest aside. The servers must lie within those minutes, a week at most.
void Take(History& history, const ServerHistory& source, uint32_t from, uint32_t to, bool overwrite) {
    uint32_t first = 0, last = 0;
    if (SeenWithin(source, from, to, first, last)) {
        size_t guess = 0;
        ServerHistory* server = FindOrAddServer(history.Servers, guess, source.Name, last);
        if (server != nullptr) CopyMinutes(*server, source, first, last, overwrite);
    }
    if (from > 0) SetAside(history.Aside, source, 0, from - 1);
    if (to < UINT32_MAX) SetAside(history.Aside, source, to + 1, UINT32_MAX);
}

// Fits the history to the minutes [WeekStart(minute), last], where last is the minute itself or, when
// the clock was just set, the one before (minute 0 aside) (so that the first report after the change joins nothing
// recorded before it): what the servers hold outside is set aside (or forgotten, back home), and what
// was set aside and fits comes back over what is there.
void FitToClock(History& history, uint32_t minute, uint32_t last, bool home) {
    const uint32_t weekStart = WeekStart(minute);
    std::vector<ServerHistory>& servers = history.Servers;
    std::vector<ServerHistory> outside;  // what the servers hold outside, set aside once the rest is in place
    for (const ServerHistory& server : servers) {
        if (home) break;
        if (weekStart > 0) SetAside(outside, server, 0, weekStart - 1);
        if (last < UINT32_MAX) SetAside(outside, server, last + 1, UINT32_MAX);
    }
    servers.erase(std::remove_if(servers.begin(), servers.end(), [&](ServerHistory& server) { return !KeepWithin(server, weekStart, last); }),
                  servers.end());
    // A record set aside spans a week at most, so what of it fits the week lies at one end of it.
    std::vector<ServerHistory>& aside = history.Aside;
    aside.erase(std::remove_if(aside.begin(), aside.end(), [&](ServerHistory& record) {
                    uint32_t first = 0, newest = 0;
                    if (!SeenWithin(record, weekStart, last, first, newest)) return false;
                    size_t guess = 0;
                    ServerHistory* server = FindOrAddServer(servers, guess, record.Name, newest);
                    if (server != nullptr) CopyMinutes(*server, record, first, newest, true);
                    if (record.Newest > last) return !KeepWithin(record, last + 1, UINT32_MAX);
                    return weekStart == 0 || !KeepWithin(record, 0, weekStart - 1);
                }), aside.end());
    for (ServerHistory& record : outside) SetAside(aside, std::move(record));
    history.Clock = minute;
}
}  // namespace

void MergeHistory(History& into, const History& from) {
    const uint32_t weekStart = WeekStart(into.Clock);
    std::vector<ServerHistory>& servers = into.Servers;
    servers.erase(std::remove_if(servers.begin(), servers.end(), [&](ServerHistory& server) { return !KeepWithin(server, weekStart, into.Clock); }),
                  servers.end());
    for (const std::vector<ServerHistory>* list : {&from.Servers, &from.Aside})
        for (const ServerHistory& server : *list) Take(into, server, weekStart, into.Clock, false);
}

void MoveHistoryClock(History& history, uint32_t minute, int32_t away) {
    FitToClock(history, minute, minute - (minute > 0), away == 0);
    if (away == 0) history.Aside.clear();
    history.Away = away;
    if (away == 0) history.AwayRough = false;
    history.AsideSince = minute;
}

void TrimHistory(History& history, uint32_t minute) {
    if ((!history.Aside.empty() || history.Away != 0) &&
        static_cast<int32_t>(minute - history.AsideSince) >= static_cast<int32_t>(HISTORY_ASIDE_MINUTES)) {
        history.Aside.clear();
        history.Away = 0;
        history.AwayRough = false;
    }
    if (minute < HISTORY_MINUTES - 1) return;  // nothing can be older than 7 days yet
    const uint32_t oldestKept = minute - (HISTORY_MINUTES - 1);
    std::vector<ServerHistory>& servers = history.Servers;
    for (const ServerHistory& server : servers)  // as AddReport does
        if (history.Away != 0 && oldestKept > 0) SetAside(history.Aside, server, 0, oldestKept - 1);
    servers.erase(std::remove_if(servers.begin(), servers.end(),
                                 [&](const ServerHistory& server) { return server.Newest < oldestKept; }),
                  servers.end());
    for (ServerHistory& server : servers) server.Oldest = std::max(server.Oldest, oldestKept);
}

size_t HistoryMemoryBytes(const History& history) {
    size_t bytes = (history.Servers.capacity() + history.Aside.capacity()) * sizeof(ServerHistory);
    for (const std::vector<ServerHistory>* list : {&history.Servers, &history.Aside})
        for (const ServerHistory& server : *list)
            bytes += server.Name.capacity() + server.Counts.capacity() * sizeof(uint16_t) + server.Rises.capacity();
    return bytes;
}

namespace {
constexpr unsigned char FILE_MAGIC[4] = {'T', 'L', 'W', 'H'};
constexpr uint16_t FILE_VERSION = 1;
constexpr size_t HEADER_BYTES = 8;
constexpr size_t CHECKSUM_BYTES = 4;
constexpr size_t MINUTE_BYTES = 3;
constexpr size_t SERVER_FIXED_BYTES = 1 + 4 + 2;  // name length, newest minute, span

constexpr std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}
constexpr std::array<uint32_t, 256> CRC_TABLE = MakeCrcTable();

uint32_t Crc32(const unsigned char* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) crc = CRC_TABLE[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

uint32_t SpanOf(const ServerHistory& server) { return server.Newest - server.Oldest + 1; }

// Writes into storage sized beforehand.
struct FileWriter {
    unsigned char* at;

    void U8(uint32_t value) { *at++ = static_cast<unsigned char>(value); }
    void U16(uint32_t value) {
        U8(value);
        U8(value >> 8);
    }
    void U32(uint32_t value) {
        U16(value);
        U16(value >> 16);
    }
    void Bytes(const void* data, size_t n) {
        std::memcpy(at, data, n);
        at += n;
    }
};

// Reads little-endian values; past the end it reads zeros and remembers that it overran.
struct FileCursor {
    const unsigned char* data;
    size_t size;
    size_t at = 0;
    bool overran = false;

    size_t Left() const { return size - at; }
    bool Take(size_t n) {
        if (overran || n > Left()) {
            overran = true;
            return false;
        }
        at += n;
        return true;
    }
    uint32_t U8() { return Take(1) ? data[at - 1] : 0; }
    uint32_t U16() {
        const uint32_t low = U8();
        return low | U8() << 8;
    }
    uint32_t U32() {
        const uint32_t low = U16();
        return low | U16() << 16;
    }
};

// Reads one server's record into `server`; false when it is damaged or says what the writer never says.
bool ReadServer(FileCursor& file, ServerHistory& server) {
    const uint32_t nameLength = file.U8();
    const size_t nameAt = file.at;
    if (!file.Take(nameLength)) return false;
    const uint32_t newest = file.U32();
    const uint32_t span = file.U16();
    if (file.overran || span == 0 || span > HISTORY_MINUTES || span - 1 > newest) return false;
    if (size_t{span} * MINUTE_BYTES > file.Left()) return false;  // before the ring is allocated

    server.Name.assign(reinterpret_cast<const char*>(file.data + nameAt), nameLength);
    server.Oldest = newest - (span - 1);
    server.Newest = newest;
    server.Counts.assign(HISTORY_MINUTES, NONE_FIELD);
    server.Rises.assign(HISTORY_MINUTES, 0);
    for (uint32_t m = server.Oldest; m - server.Oldest < span; ++m) {
        const uint32_t field = file.U16();
        const uint32_t code = file.U8();
        const bool plain = field == NONE_FIELD || field == DOWN_FIELD;
        if (plain ? code != 0 : (code != ENDED_DOWN && field + RiseOf(static_cast<uint8_t>(code)) > COUNT_MAX))
            return false;
        server.Counts[Slot(m)] = static_cast<uint16_t>(field);
        server.Rises[Slot(m)] = static_cast<uint8_t>(code);
    }
    server.NewestPeak = SampleAt(server, newest).Peak;
    return server.NewestPeak != HISTORY_NONE;
}
}  // namespace

namespace {
void SaveServers(const std::vector<ServerHistory>& servers, std::vector<unsigned char>& out) {
    size_t bytes = HEADER_BYTES + CHECKSUM_BYTES;
    for (const ServerHistory& server : servers)
        bytes += SERVER_FIXED_BYTES + server.Name.size() + size_t{SpanOf(server)} * MINUTE_BYTES;
    const size_t start = out.size();
    out.resize(start + bytes);
    FileWriter file{out.data() + start};
    file.Bytes(FILE_MAGIC, sizeof FILE_MAGIC);
    file.U16(FILE_VERSION);
    file.U16(static_cast<uint32_t>(servers.size()));
    for (const ServerHistory& server : servers) {
        file.U8(static_cast<uint32_t>(server.Name.size()));
        file.Bytes(server.Name.data(), server.Name.size());
        file.U32(server.Newest);
        file.U16(SpanOf(server));
        for (uint32_t m = server.Oldest; m != server.Newest + 1; ++m) {
            const uint16_t field = server.Counts[Slot(m)];
            file.U16(field);
            file.U8(field == NONE_FIELD ? 0 : server.Rises[Slot(m)]);  // a minute not seen keeps an old code
        }
    }
    file.U32(Crc32(out.data() + start, bytes - CHECKSUM_BYTES));
}

// The file, all little-endian:
//   "TLWH", version (u16, 1), server count (u16, at most 256);
//   per server: name length (u8), the name's bytes, newest minute (u32, minutes since 1970-01-01
//   UTC), span (u16, 1 to 10080), then for each minute from newest - span + 1 to newest its 16-bit
//   field (u16) and rise code (u8), as described at the top of this file;
//   CRC-32 (IEEE, as in zip) of every byte before it (u32).
// What is set aside (history.old) has the same layout, where a name may come more than once, and
// then the minute of the change that set it aside (u32), how far the clock reads ahead of home (i32)
// and the CRC-32 of those eight bytes (u32).
constexpr size_t ASIDE_STATE_BYTES = 4 + 4;

HistoryLoad ReadServers(std::vector<ServerHistory>& servers, uint32_t& newest, const unsigned char* data, size_t size,
                        bool repeats) {
    if (size < HEADER_BYTES + CHECKSUM_BYTES || std::memcmp(data, FILE_MAGIC, sizeof FILE_MAGIC) != 0)
        return HistoryLoad::Damaged;
    FileCursor file{data, size - CHECKSUM_BYTES};
    FileCursor checksum{data + file.size, CHECKSUM_BYTES};
    file.Take(sizeof FILE_MAGIC);
    const uint32_t version = file.U16();
    if (version > FILE_VERSION) return HistoryLoad::Newer;  // its layout past the version is not ours to judge
    const uint32_t count = file.U16();
    if (checksum.U32() != Crc32(data, file.size) || version != FILE_VERSION || count > HISTORY_MAX_SERVERS ||
        count > file.Left() / (SERVER_FIXED_BYTES + MINUTE_BYTES))
        return HistoryLoad::Damaged;

    std::vector<ServerHistory> loaded;
    loaded.reserve(count);
    newest = 0;
    for (uint32_t i = 0; i < count; ++i) {
        ServerHistory& server = loaded.emplace_back();
        if (!ReadServer(file, server)) return HistoryLoad::Damaged;
        for (uint32_t j = 0; j < i && !repeats; ++j)
            if (loaded[j].Name == server.Name) return HistoryLoad::Damaged;
        newest = std::max(newest, server.Newest);
    }
    if (file.Left() != 0) return HistoryLoad::Damaged;
    servers = std::move(loaded);
    return HistoryLoad::Loaded;
}

// What SaveAside wrote, into the history; false when there is none or it is damaged.
bool ReadAside(History& history, const unsigned char* data, size_t size) {
    if (size < ASIDE_STATE_BYTES + CHECKSUM_BYTES) return false;
    FileCursor state{data + size - ASIDE_STATE_BYTES - CHECKSUM_BYTES, ASIDE_STATE_BYTES + CHECKSUM_BYTES};
    const uint32_t since = state.U32(), away = state.U32();
    uint32_t newest = 0;
    if (state.U32() != Crc32(state.data, ASIDE_STATE_BYTES) ||
        ReadServers(history.Aside, newest, data, size - ASIDE_STATE_BYTES - CHECKSUM_BYTES, true) != HistoryLoad::Loaded)
        return false;
    history.AsideSince = since;
    history.Away = static_cast<int32_t>(away);
    return true;
}
}  // namespace

void SaveHistory(const History& history, std::vector<unsigned char>& out) { SaveServers(history.Servers, out); }

void SaveAside(const History& history, std::vector<unsigned char>& out) {
    if (history.Aside.empty() && history.Away == 0) return;
    SaveServers(history.Aside, out);
    const size_t start = out.size();
    out.resize(start + ASIDE_STATE_BYTES + CHECKSUM_BYTES);
    FileWriter file{out.data() + start};
    file.U32(history.AsideSince);
    file.U32(static_cast<uint32_t>(history.Away));
    file.U32(Crc32(out.data() + start, ASIDE_STATE_BYTES));
}

HistoryLoad ReadHistory(History& history, const unsigned char* data, size_t size) {
    history = History{};
    return ReadServers(history.Servers, history.Clock, data, size, false);
}

HistoryLoad LoadHistory(History& history, const unsigned char* data, size_t size, uint32_t nowMinute,
                        const unsigned char* aside, size_t asideSize) {
    const HistoryLoad result = ReadHistory(history, data, size);
    const bool setAside = result != HistoryLoad::Newer && aside != nullptr && ReadAside(history, aside, asideSize);
    // The newest minute recorded, by the clock that recorded it; and where the clock reads now against
    // home, had no time passed while the program was closed.
    const uint32_t saved = setAside ? std::max(history.Clock, history.AsideSince) : history.Clock;
    const int64_t reads = int64_t{nowMinute} - (int64_t{saved} - history.Away);
    if (!setAside) history.AsideSince = nowMinute;
    bool home = false;
    if (history.Away > 0 && nowMinute >= saved) {
        // Still ahead: time passed, the clock was not set back.
    } else if (reads >= (history.Away == 0 ? -1 : 0)) {
        home = history.Away != 0;  // it reads where home would, or later: time passed
        history.Away = 0;
    } else {
        // Behind the newest sample: set back at least this far while the program was closed.
        history.Away = static_cast<int32_t>(std::max<int64_t>(reads, INT32_MIN));
        history.AsideSince = nowMinute;
    }
    history.AwayRough = history.Away != 0;
    FitToClock(history, nowMinute, nowMinute - (nowMinute > 0 && (home || history.Away < 0)), home);
    if (home) history.Aside.clear();
    return result;
}
