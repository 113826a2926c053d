// Tests of the player count history: minutes, buckets, trimming and the file.
#include <gtest/gtest.h>

#include <functional>

#include "status/history.h"

namespace {
constexpr uint32_t T = 29000000;  // a minute in 2025
using Bytes = std::vector<unsigned char>;

void Report(History& h, uint32_t minute, const std::string& name, int32_t players) {
    AddReport(h, minute, {ServerEntry{name, players, 0}});
}

uint32_t Crc32(const Bytes& b, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= b[i];
        for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    }
    return ~c;
}
}  // namespace

TEST(History, MinutesFromReports) {
    struct Case {
        const char* what;
        std::vector<std::pair<uint32_t, int32_t>> reports;  // minute, players
        uint32_t at;
        MinuteSample expected;
    };
    const Case cases[] = {
        {"last sets players, highest sets peak", {{T, 5}, {T, 9}, {T, 7}}, T, {7, 9}},
        {"a count beats DOWN", {{T, -1}, {T, 4}, {T, -1}}, T, {HISTORY_DOWN, 4}},
        {"DOWN when all said DOWN", {{T, -1}, {T, -1}}, T, {HISTORY_DOWN, HISTORY_DOWN}},
        {"a minute not reported", {{T, 5}, {T + 3, 6}}, T + 2, {HISTORY_NONE, HISTORY_NONE}},
        {"after the newest", {{T, 5}}, T + 1, {HISTORY_NONE, HISTORY_NONE}},
        {"65534 is kept as 65533", {{T, 65534}}, T, {65533, 65533}},
        {"large rise, kept exactly on the scale", {{T, 65533}, {T, 0}}, T, {0, 65533}},
        {"7 days back is kept", {{T, 5}, {T + HISTORY_MINUTES - 1, 6}}, T, {5, 5}},
        {"8 days back is not", {{T, 5}, {T + HISTORY_MINUTES - 1, 6}, {T + HISTORY_MINUTES, 6}}, T,
         {HISTORY_NONE, HISTORY_NONE}},
        {"a week's jump forgets all", {{T, 5}, {T + 2 * HISTORY_MINUTES, 6}}, T + HISTORY_MINUTES + 1,
         {HISTORY_NONE, HISTORY_NONE}},
        {"clock back joins its minute", {{T, 5}, {T + 1, 8}, {T + 2, 7}, {T + 1, 3}}, T + 1, {3, 8}},
        {"clock back forgets what is after", {{T, 5}, {T + 1, 8}, {T + 2, 7}, {T + 1, 3}}, T + 2,
         {HISTORY_NONE, HISTORY_NONE}},
        {"clock back before the oldest", {{T + 5, 5}, {T, 3}}, T + 5, {HISTORY_NONE, HISTORY_NONE}},
        {"gap cleared after clock back", {{T, 5}, {T + 2, 7}, {T, 1}, {T + 3, 2}}, T + 2,
         {HISTORY_NONE, HISTORY_NONE}},
    };
    for (const Case& c : cases) {
        History h;
        for (const auto& r : c.reports) Report(h, r.first, "Alpha", r.second);
        const MinuteSample s = SampleAt(*FindServerHistory(h, "Alpha"), c.at);
        EXPECT_EQ(s.Players, c.expected.Players) << c.what;
        EXPECT_EQ(s.Peak, c.expected.Peak) << c.what;
        EXPECT_EQ(NewestMinute(*FindServerHistory(h, "Alpha")), c.reports.back().first) << c.what;
    }
}

TEST(History, LargeRisesAreKeptAtMost6PercentLow) {
    for (int32_t peak = 128; peak <= 65533; peak += 97) {
        History h;
        Report(h, T, "A", peak);
        Report(h, T, "A", 0);
        const int32_t kept = SampleAt(h.Servers[0], T).Peak;
        ASSERT_TRUE(kept <= peak && kept * 1.06 >= peak) << peak << " kept as " << kept;
    }
}

TEST(History, ServersByNameAtMost256) {
    History h;
    const std::string longName(300, 'x');
    std::vector<ServerEntry> report;
    for (int i = 0; i < 300; ++i) report.push_back({std::to_string(i), i, 0});
    AddReport(h, T, report);
    std::reverse(report.begin(), report.end());
    AddReport(h, T + 1, report);
    Report(h, T + 1, longName, 1);
    ASSERT_EQ(h.Servers.size(), 256u);
    EXPECT_EQ(SampleAt(*FindServerHistory(h, "17"), T + 1).Players, 17);
    EXPECT_EQ(FindServerHistory(h, "299"), nullptr);
    TrimHistory(h, T + HISTORY_MINUTES);  // forgets minute T only
    EXPECT_EQ(SampleAt(*FindServerHistory(h, "17"), T).Players, HISTORY_NONE);
    TrimHistory(h, T + HISTORY_MINUTES + 1);
    ASSERT_TRUE(h.Servers.empty());
    Report(h, T, longName, 1);
    EXPECT_EQ(h.Servers[0].Name.size(), 255u);
    EXPECT_NE(FindServerHistory(h, longName), nullptr);
}

TEST(History, BucketsMatchTheirMinutes) {
    History h;
    const uint32_t start = 7 * HISTORY_MINUTES - 50;  // the ring wraps inside the range
    for (uint32_t m = start; m < start + 200; ++m) {
        if (m % 7 == 0) continue;
        if (m % 11 == 0) Report(h, m, "A", 99);  // a peak above the minute's last count
        Report(h, m, "A", m % 5 == 0 ? -1 : static_cast<int32_t>(m % 23));
    }
    const ServerHistory& s = h.Servers[0];
    const uint32_t minutes = 150;
    for (int count : {1, 3, 40, 400}) {
        for (uint32_t first : {start - 10, start + 120}) {
            for (bool peaks : {false, true}) {
                std::vector<int32_t> out(static_cast<size_t>(count));
                BucketSamples(s, first, minutes, peaks, out.data(), count);
                for (int b = 0; b < count; ++b) {
                    int32_t expected = HISTORY_NONE;
                    for (uint32_t m = first + minutes * b / count; m < first + minutes * (b + 1) / count; ++m)
                        expected = std::max(expected, peaks ? SampleAt(s, m).Peak : SampleAt(s, m).Players);
                    ASSERT_EQ(out[static_cast<size_t>(b)], expected) << count << " buckets from " << first << ", " << b;
                }
            }
        }
    }
}

TEST(History, SaveAndLoad) {
    History h;
    for (uint32_t m = T; m < T + HISTORY_MINUTES + 30; m += 11) {  // a week later, other slots
        AddReport(h, m, {{"Alpha", static_cast<int32_t>(m % 1000), 0}, {"B\xE9ta", m % 4 ? 7 : -1, 0}});
        Report(h, m, "Alpha", static_cast<int32_t>(m % 3000));
        Report(h, m, "B\xE9ta", -1);
    }
    Report(h, T + 100, "Gamma", 3);
    Bytes file;
    SaveHistory(h, file);
    History loaded;
    ASSERT_TRUE(LoadHistory(loaded, file.data(), file.size(), T + 100));
    ASSERT_EQ(loaded.Servers.size(), 3u);
    for (const ServerHistory& s : h.Servers) {
        const ServerHistory* l = FindServerHistory(loaded, s.Name);
        ASSERT_NE(l, nullptr);
        ASSERT_EQ(NewestMinute(*l), NewestMinute(s));
        for (uint32_t m = T; m <= T + HISTORY_MINUTES + 30; ++m) {
            ASSERT_EQ(SampleAt(*l, m).Players, SampleAt(s, m).Players) << m;
            ASSERT_EQ(SampleAt(*l, m).Peak, SampleAt(s, m).Peak) << m;
        }
    }
    ASSERT_TRUE(LoadHistory(loaded, file.data(), file.size(), T + 100 + HISTORY_MINUTES));
    EXPECT_EQ(loaded.Servers.size(), 2u);  // trimmed to the 7 days before now
}

TEST(History, DamagedFilesAreRejected) {
    History h;
    Report(h, T, "A", 5);
    Report(h, T, "B", 6);
    Bytes good;
    SaveHistory(h, good);  // only the filled span: 8 header, 11 per server (A's name at 9, its sample at 16), 4 checksum
    ASSERT_EQ(good.size(), 34u);
    struct Case {
        const char* what;
        std::function<void(Bytes&)> damage;
        bool resealed;  // the checksum is made right again
    };
    const Case cases[] = {
        {"empty", [](Bytes& b) { b.clear(); }, false},
        {"short", [](Bytes& b) { b.pop_back(); }, false},
        {"flipped byte", [](Bytes& b) { b[17] ^= 1; }, false},
        {"other version", [](Bytes& b) { b[4] = 2; }, true},
        {"foreign", [](Bytes& b) { b[0] = 'P'; }, true},
        {"trailing bytes", [](Bytes& b) { b.insert(b.end() - 4, 0); }, true},
        {"more servers than bytes", [](Bytes& b) { b[6] = 3; }, true},
        {"over 256 servers", [](Bytes& b) { b[6] = 1; b[7] = 1; }, true},
        {"duplicate name", [](Bytes& b) { b[20] = 'A'; }, true},
        {"span 0", [](Bytes& b) { b[14] = 0; }, true},
        {"newest minute not seen", [](Bytes& b) { b[16] = b[17] = 0xFF; }, true},
        {"rise code beside DOWN", [](Bytes& b) { b[16] = 0xFE; b[17] = 0xFF; b[18] = 1; }, true},
        {"peak over 65533", [](Bytes& b) { b[16] = 0xFD; b[17] = 0xFF; b[18] = 1; }, true},
    };
    for (const Case& c : cases) {
        Bytes file = good;
        c.damage(file);
        if (c.resealed) {
            const uint32_t crc = Crc32(file, file.size() - 4);
            for (int i = 0; i < 4; ++i) file[file.size() - 4 + i] = static_cast<unsigned char>(crc >> (8 * i));
        }
        History loaded = h;
        EXPECT_FALSE(LoadHistory(loaded, file.data(), file.size(), T)) << c.what;
        EXPECT_TRUE(loaded.Servers.empty()) << c.what;
    }
    History loaded;
    EXPECT_TRUE(LoadHistory(loaded, good.data(), good.size(), T));
}
