// Tests of the player count history: minutes, servers, buckets and damaged files (the round trip: query_test).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <tuple>

#include "status/history.h"

namespace {
constexpr uint32_t T = 29000000, WEEK = HISTORY_MINUTES;  // T: a minute in 2025
constexpr int32_t NONE = HISTORY_NONE, DOWN = HISTORY_DOWN;
using Bytes = std::vector<unsigned char>;
using Reports = std::vector<std::pair<uint32_t, int32_t>>;  // minute, players

void Report(History& h, uint32_t minute, int32_t players) { AddReport(h, minute, {{"A", players, 0}}); }

void Reseal(Bytes& b) {  // makes the CRC-32 at the end right again
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i + 4 < b.size(); ++i)
        for (int bit = 0; bit < 8; ++bit) c = ((c ^ (b[i] >> bit)) & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    for (size_t i = 0; i < 4; ++i) b[b.size() - 4 + i] = static_cast<unsigned char>(~c >> (8 * i));
}
}  // namespace

TEST(History, MinutesFromReports) {
    struct Case { const char* what; Reports reports; uint32_t at; MinuteSample expected; };
    const Case cases[] = {
        {"last sets players, highest peak", {{T, 5}, {T, 9}, {T, 7}}, T, {7, 9}},
        {"a count beats DOWN", {{T, -1}, {T, 4}, {T, -1}}, T, {DOWN, 4}},
        {"DOWN when all said DOWN", {{T, -1}, {T, -1}}, T, {DOWN, DOWN}},
        {"a rise between steps", {{T, 1000}, {T, 3000}, {T, 0}}, T, {0, 2898}},
        {"7 days back is kept", {{T, 5}, {T + WEEK - 1, 6}}, T, {5, 5}},
        {"8 days back is not", {{T, 5}, {T + WEEK - 1, 6}, {T + WEEK, 6}}, T, {NONE, NONE}},
        {"a count past the DOWN code is the largest count", {{T, 70000}}, T, {65533, 65533}},
        {"a week's jump forgets all", {{T, 5}, {T + 2 * WEEK, 6}}, T + WEEK + 1, {NONE, NONE}},
        {"clock back joins its minute", {{T, 5}, {T + 1, 8}, {T + 2, 7}, {T + 1, 3}}, T + 1, {3, 8}},
        {"clock back before the oldest", {{T + 5, 5}, {T, 3}}, T + 5, {NONE, NONE}},
        {"gap after clock back", {{T, 5}, {T + 2, 7}, {T, 1}, {T + 3, 2}}, T + 2, {NONE, NONE}},
    };
    for (const Case& c : cases) {
        History h;
        for (const auto& r : c.reports) Report(h, r.first, r.second);
        const MinuteSample s = SampleAt(h.Servers.at(0), c.at);
        EXPECT_TRUE(s.Players == c.expected.Players && s.Peak == c.expected.Peak) << c.what << ": " << s.Players;
        EXPECT_EQ(NewestMinute(h.Servers[0]), c.reports.back().first) << c.what;
    }
}

TEST(History, ServersByNameAtMost256TheOneSeenLeastRecentlyGivesWay) {
    History h;
    std::vector<ServerEntry> report = {{std::string(300, 'x'), 1, 0}};
    for (int i = 0; i < 300; ++i) report.push_back({std::to_string(i), i, 0});
    AddReport(h, T, report);  // 256 of them: all seen in this minute, none gives way
    ASSERT_EQ(h.Servers.size(), 256u);
    EXPECT_EQ(FindServerHistory(h, "255"), nullptr);
    EXPECT_NE(FindServerHistory(h, std::string(255, 'x') + "y"), nullptr);  // names are cut to 255 bytes
    AddReport(h, T + 1, {report.begin() + 11, report.end()});  // all but the long name and 0 to 9 again
    AddReport(h, T + 2, {{"new", 5, 0}, {"new", 9, 0}, {"newer", 6, 0}});  // a name listed twice counts once
    ASSERT_EQ(h.Servers.size(), 256u);
    EXPECT_EQ(SampleAt(*FindServerHistory(h, "new"), T + 2).Players, 5);
    EXPECT_NE(FindServerHistory(h, "newer"), nullptr);
    EXPECT_EQ(FindServerHistory(h, "x"), nullptr);
    EXPECT_EQ(FindServerHistory(h, "0"), nullptr);
    ASSERT_NE(FindServerHistory(h, "10"), nullptr);
    EXPECT_EQ(SampleAt(*FindServerHistory(h, "10"), T + 1).Players, 10);
    // The one seen least recently is listed by this report: the next gives way, and its peak goes with it.
    const std::string listed = std::min_element(h.Servers.begin(), h.Servers.end(), [](auto& a, auto& b) { return a.Newest < b.Newest; })->Name;
    AddReport(h, T + 3, {{listed, 11, 0}, {"another", 0, 0}, {listed, 12, 0}});
    EXPECT_TRUE(SampleAt(*FindServerHistory(h, listed), T + 1).Players >= 10 && SampleAt(*FindServerHistory(h, listed), T + 3).Players == 11);
    EXPECT_TRUE(SampleAt(*FindServerHistory(h, "another"), T + 3).Peak == 0 && h.Clock == T + 3);
    EXPECT_TRUE((MoveHistoryClock(h, T + 2 * WEEK, 2 * WEEK), MoveHistoryClock(h, T + 4, 0), h.Servers.size() == 256u));  // all aside, all back
}

TEST(History, Buckets) {
    History h;
    const uint32_t s = 2 * WEEK - 2;  // the ring wraps after two minutes
    for (const auto& r : Reports{{s, 3}, {s + 1, -1}, {s + 3, 9}, {s + 3, 5}, {s + 4, -1}, {s + 5, -1}})
        Report(h, r.first, r.second);
    const std::tuple<uint32_t, uint32_t, bool, std::vector<int32_t>> cases[] = {
        {s, 6, true, {3, 9, DOWN}},
        {s, 6, true, {9}},
        {s, 6, false, {3, DOWN, 5, DOWN}},  // uneven buckets
        {s - 4, 12, false, {NONE, 3, 5, DOWN}},
        {s, 2, false, {3, 3, DOWN, DOWN}},  // more buckets than minutes: no gaps between them
    };
    for (const auto& [first, minutes, peaks, expected] : cases) {
        std::vector<int32_t> out(expected.size());
        BucketSamples(h.Servers[0], first, minutes, peaks, out.data(), static_cast<int>(out.size()));
        EXPECT_EQ(out, expected) << first - s << " " << minutes << " " << peaks;
    }
}

TEST(History, DamagedFilesAreRejected) {
    History h;
    AddReport(h, T, {{"A", 5, 0}, {"B", 65533, 0}});
    Bytes good;
    SaveHistory(h, good);  // only the filled span: 8 header, 11 a server (A's name at 9, sample at 16), 4 CRC
    ASSERT_EQ(good.size(), 34u);
    const std::pair<const char*, std::function<void(Bytes&)>> cases[] = {
        {"short", [](Bytes& b) { b.pop_back(); }},
        {"flipped byte", [](Bytes& b) { b[17] ^= 1; }},
        {"version 0", [](Bytes& b) { b[4] = 0; Reseal(b); }},
        {"foreign", [](Bytes& b) { b[0] = 'P'; Reseal(b); }},
        {"trailing bytes", [](Bytes& b) { b.insert(b.end() - 4, 0); Reseal(b); }},
        {"over 256 servers", [](Bytes& b) { b[6] = 1; b[7] = 1; Reseal(b); }},
        {"duplicate name", [](Bytes& b) { b[20] = 'A'; Reseal(b); }},
        {"span 0", [](Bytes& b) { b[14] = 0; Reseal(b); }},
        {"newest minute not seen", [](Bytes& b) { b[16] = b[17] = 0xFF; Reseal(b); }},
        {"rise code beside DOWN", [](Bytes& b) { b[16] = 0xFE; b[17] = 0xFF; b[18] = 1; Reseal(b); }},
        {"peak over 65533", [](Bytes& b) { b[16] = 0xFD; b[17] = 0xFF; b[18] = 1; Reseal(b); }},
        // The last record ends after its span; a first name one byte longer keeps room for two records.
        {"a record cut short", [](Bytes& b) { b[8] = 2; b.insert(b.begin() + 10, 'x'); b.erase(b.end() - 7, b.end() - 4); Reseal(b); }},
        {"a record cut short at span 0", [](Bytes& b) { b[8] = 2; b.insert(b.begin() + 10, 'x'); b.erase(b.end() - 7, b.end() - 4); b[26] = 0; Reseal(b); }},
    };
    for (const auto& c : cases) {
        Bytes file = good;
        c.second(file);
        History loaded = h;
        EXPECT_EQ(LoadHistory(loaded, file.data(), file.size(), T), HistoryLoad::Damaged) << c.first;
        EXPECT_TRUE(loaded.Servers.empty()) << c.first;
    }
    Bytes newer = good;  // a later version's file is not judged at all, whatever follows its version
    newer[4] = 2;
    EXPECT_EQ(LoadHistory(h, newer.data(), newer.size(), T), HistoryLoad::Newer);
    EXPECT_EQ(LoadHistory(h, good.data(), good.size(), T), HistoryLoad::Loaded);
    LoadHistory(h, good.data(), good.size(), T + WEEK);  // a week later: set aside, for a day of steady clock
    EXPECT_TRUE(h.Servers.empty() && (TrimHistory(h, T + WEEK + 1439), h.Aside.size() == 2) && (TrimHistory(h, T + WEEK + 1440), h.Aside.empty()));
}

// Whatever the clock does, samples dated before a change of it are there once it is set right again,
// those from the wrong hours are not, and recording goes on at once.
TEST(History, AWrongClockNeverCostsTheWeek) {
    for (const uint32_t jump : {30u, 90u, 3u * 24 * 60, 2 * WEEK, 3u * 365 * 24 * 60, 0u - 30, 0u - 3 * 24 * 60, 0u - 2 * WEEK}) {
        History h;
        Report(h, T - WEEK + 1, 5);  // a week before the minute the clock comes back to: out of its week
        for (uint32_t m = T - WEEK + 2; m <= T; m += 7) Report(h, m, static_cast<int32_t>(m % 1000));
        MoveHistoryClock(h, T + jump, static_cast<int32_t>(jump));  // the clock jumps...
        Bytes dat, old;  // and the program restarts before it records anything
        SaveHistory(h, dat), SaveAside(h, old), LoadHistory(h, dat.data(), dat.size(), T + jump, old.data(), old.size());
        Report(h, T + jump, 1), TrimHistory(h, T + jump + 30), Report(h, T + jump + 60, 1);  // runs on past right samples
        MoveHistoryClock(h, T + 1, 0);  // ...and is set right
        EXPECT_TRUE(static_cast<int32_t>(jump) < 0 || SampleAt(h.Servers.at(0), T + jump).Players == NONE) << jump;  // set back: kept in a right gap
        Report(h, T + 1, 2);
        for (uint32_t m = T - WEEK + 2; m <= T; m += 7)
            ASSERT_EQ(SampleAt(h.Servers[0], m).Players, static_cast<int32_t>(m % 1000)) << jump << " " << m;
        EXPECT_EQ(SampleAt(h.Servers[0], T - WEEK + 1).Players, NONE) << jump;
        EXPECT_EQ(SampleAt(h.Servers[0], T + 1).Players, 2) << jump;
        TrimHistory(h, T + 1 + 24 * 60);  // a day of steady clock forgets what is still set aside
        EXPECT_TRUE(h.Aside.empty()) << jump;
    }
}

TEST(History, TrimPeakAndCsvAtTheirEdges) {
    History h;
    for (const auto& [minute, players] : Reports{{T, 9}, {T + 1, -1}, {T + 2, 4}, {T + 3, 9}}) Report(h, minute, players);
    int32_t peak = 0;
    uint32_t at = 0;
    ASSERT_TRUE(PeakInRange(h.Servers[0], T, 4, peak, at));
    EXPECT_EQ(at, T);  // the first of two equal peaks
    EXPECT_TRUE(PeakInRange(h.Servers[0], T + 2, 2, peak, at) && at == T + 3);  // the newest minute is in range
    setenv("TZ", "UTC0", 1), tzset();
    EXPECT_EQ(LocalTimeText(0), "1970-01-01T00:00:00+00:00");
    setenv("TZ", "EST5EDT,M3.2.0,M11.1.0", 1);
    tzset();
    EXPECT_EQ(LocalTimeText(1739190600), "2025-02-10T07:30:00-05:00");
    EXPECT_EQ(LocalTimeText(1741177800), "2025-03-05T07:30:00-05:00");
    const uint32_t fallBack = 29367718;  // 2025-11-02T05:58Z, 01:58 local, an hour before summer time ends
    History csv;
    for (const auto& [minute, players] : Reports{{fallBack, 7}, {fallBack + 1, -1}, {fallBack + 61, 8}}) AddReport(csv, minute, {{"A", players, 0}});
    EXPECT_EQ(ServerHistoryCsv(csv.Servers[0]), "time,players,peak\n2025-11-02T01:58:00-04:00,7,7\n"
                                                "2025-11-02T01:59:00-04:00,,\n2025-11-02T01:59:00-05:00,8,8\n");
    Bytes saved;  // loaded with the clock a minute behind its newest: time passed, the minute joins its report
    SaveHistory(h, saved), LoadHistory(csv, saved.data(), saved.size(), T + 2), Report(csv, T + 2, 1);
    EXPECT_TRUE(SampleAt(csv.Servers[0], T + 2).Peak == 4 && csv.Away == 0);
    TrimHistory(h, T + 3 + WEEK - 1);  // exactly 7 days after the newest: kept
    EXPECT_EQ(h.Servers.size(), 1u);
    TrimHistory(h, T + 3 + WEEK);
    EXPECT_TRUE(h.Servers.empty());
}
