// Tests of the settings load rules and the values a save writes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

#include "settings/memory_store.h"
#include "settings/settings.h"

namespace {
StoredValue Dword(int32_t value) {
    StoredValue v{StoredType::Dword, std::vector<unsigned char>(4)};
    std::memcpy(v.Data.data(), &value, 4);
    return v;
}
StoredValue Text(const std::string& text) {
    StoredValue v{StoredType::Text, {text.begin(), text.end()}};
    v.Data.push_back(0);
    return v;
}
Settings Load(MemoryStore& store) {
    Settings s;
    s.PrimaryServer = s.EverquestExe = s.AlertCommand = s.AlertWebhook = "stale";  // a load replaces an earlier one
    LoadSettings(s, MemoryStoreSeam(store));
    return s;
}
int32_t StoredDword(const MemoryStore& store, const char* name) {
    int32_t value = 0;
    std::memcpy(&value, store.Values.at(name).Data.data(), 4);
    return value;
}
}  // namespace

TEST(Settings, FirstRunGivesDefaultsAndOpensTheKey) {
    MemoryStore store;
    const Settings s = Load(store);
    EXPECT_EQ(store.Opens, 1);
    EXPECT_EQ(store.Closes, 1);
    EXPECT_EQ(s.X, 600);
    EXPECT_EQ(s.Y, 10);
    EXPECT_EQ(s.Width, 307);
    EXPECT_EQ(s.Height, 674);
    EXPECT_EQ(s.Maximized, 0);
    EXPECT_EQ(s.PrimaryServer, "");
    EXPECT_EQ(s.EverquestExe, "");
    EXPECT_EQ(s.SortOrder, SORT_NONE);
    EXPECT_FALSE(s.RunOnStartup);
    EXPECT_EQ(s.MinPlayers, 3);
    EXPECT_TRUE(s.NotifyChanges);  // a missing value loads as on
    EXPECT_EQ(s.AlertCommand + s.AlertWebhook, "");
}

TEST(Settings, UnopenableStoreLeavesDefaults) {
    MemoryStore store;
    store.OpenFails = true;
    store.Values["X"] = Dword(5);
    Settings s;
    EXPECT_EQ(LoadSettings(s, MemoryStoreSeam(store)), StoreAccess::Unavailable);
    EXPECT_EQ(s.X, 600);
    EXPECT_EQ(SaveSettings(s, MemoryStoreSeam(store)), StoreAccess::Unavailable);
}

TEST(Settings, EachNumberRuleStandsAlone) {
    struct Case {
        const char* name;
        int32_t stored;
        int32_t Settings::*field;
        int32_t loaded;
    };
    const Case cases[] = {
        {"X", -32000, &Settings::X, 600},       {"X", -31999, &Settings::X, -31999},
        {"Y", -32000, &Settings::Y, 10},        {"Y", 300, &Settings::Y, 300},
        {"Width", 160, &Settings::Width, 307},  {"Width", 161, &Settings::Width, 161},
        {"Height", 24, &Settings::Height, 674}, {"Height", 0, &Settings::Height, 0},
        {"Maximized", 2, &Settings::Maximized, 0}, {"Maximized", -1, &Settings::Maximized, 0},
        {"Maximized", 1, &Settings::Maximized, 1}, {"SortOrder", 7, &Settings::SortOrder, 0},
        {"SortOrder", 2, &Settings::SortOrder, 2}, {"SortOrder", -1, &Settings::SortOrder, 0},
        {"SortOrder", 1, &Settings::SortOrder, 1}, {"MinPlayers", -1, &Settings::MinPlayers, 3},
        {"MinPlayers", 0, &Settings::MinPlayers, 0}, {"MinPlayers", 70000, &Settings::MinPlayers, 70000},
    };
    for (const Case& c : cases) {
        MemoryStore store;
        const bool otherIsY = c.field != &Settings::Y;
        store.Values[otherIsY ? "Y" : "X"] = Dword(otherIsY ? 300 : -32000);
        store.Values[c.name] = Dword(c.stored);
        const Settings s = Load(store);
        EXPECT_EQ(s.*c.field, c.loaded) << c.name << " " << c.stored;
        if (otherIsY) EXPECT_EQ(s.Y, 300) << c.name;
        else EXPECT_EQ(s.X, 600) << c.name;
    }
}

TEST(Settings, RunOnStartupIsAnyNonZeroAndSavesAsOne) {
    MemoryStore store;
    store.Values["RunOnStartup"] = Dword(5);
    Settings s = Load(store);
    EXPECT_TRUE(s.RunOnStartup);
    SaveSettings(s, MemoryStoreSeam(store));
    EXPECT_EQ(StoredDword(store, "RunOnStartup"), 1);
}

TEST(Settings, TextsTakeTheirBytesUpToTheFirstZero) {
    struct Case {
        const char* what;
        StoredValue stored;
        std::string loaded;
    };
    StoredValue unterminated{StoredType::Binary, {'a', 'b', 'c'}};
    StoredValue inner{StoredType::Text, {'a', 0, 'b', 0}};
    const Case cases[] = {
        {"plain", Text("Bertoxxulous"), "Bertoxxulous"},
        {"259 characters fit", Text(std::string(259, 'p')), std::string(259, 'p')},
        {"260 characters and the zero do not", Text(std::string(260, 'p')), ""},
        {"300 characters load as empty", Text(std::string(300, 'p')), ""},
        {"no terminator", unterminated, "abc"},
        {"260 bytes without a zero keep 259", StoredValue{StoredType::Binary, std::vector<unsigned char>(260, 'z')},
         std::string(259, 'z')},
        {"zero in the middle", inner, "a"},
        {"a number where a text belongs", Dword(0x00434241), "ABC"},
    };
    for (const Case& c : cases) {
        MemoryStore store;
        store.Values["PrimaryServer"] = c.stored;
        store.Values["EverquestExe"] = c.stored;
        const Settings s = Load(store);
        EXPECT_EQ(s.PrimaryServer, c.loaded) << c.what;
        EXPECT_EQ(s.EverquestExe, c.loaded) << c.what;
    }
}

TEST(Settings, NumbersOfTheWrongSizeKeepTheirDefaults) {
    MemoryStore store;
    store.Values["X"] = StoredValue{StoredType::Binary, {1, 2}};
    store.Values["Y"] = StoredValue{StoredType::Binary, std::vector<unsigned char>(8, 1)};
    store.Values["Width"] = Text("wide text value");
    store.Values["MinPlayers"] = StoredValue{StoredType::Binary, {}};
    store.Values["Height"] = Text("abc");  // four bytes with the zero: taken as a number
    const Settings s = Load(store);
    EXPECT_EQ(s.X, 600);
    EXPECT_EQ(s.Y, 10);
    EXPECT_EQ(s.Width, 307);
    EXPECT_EQ(s.MinPlayers, 3);
    EXPECT_EQ(s.Height, 0x00636261);
}

TEST(Settings, SaveWritesAllValuesInTheirTypes) {
    Settings s;
    SetDefaultSettings(s);
    s.NotifyChanges = false;
    s.X = -5;
    s.MinPlayers = -7;
    s.PrimaryServer = "Tunare";
    MemoryStore store;
    EXPECT_EQ(SaveSettings(s, MemoryStoreSeam(store)), StoreAccess::Opened);
    EXPECT_EQ(store.Values.size(), 18u);
    EXPECT_EQ(StoredDword(store, "NotifyChanges"), 0);
    EXPECT_FALSE(Load(store).NotifyChanges);
    EXPECT_EQ(StoredDword(store, "X"), -5);
    EXPECT_EQ(StoredDword(store, "MinPlayers"), -7);  // saved as is, becomes 3 at the next load
    EXPECT_EQ(store.Values.at("EverquestExe").Type, StoredType::Text);
    EXPECT_EQ(store.Values.at("EverquestExe").Data, std::vector<unsigned char>{0});
    EXPECT_EQ(store.Values.at("PrimaryServer").Data.size(), 7u);
    EXPECT_EQ(Load(store).MinPlayers, 3);
    EXPECT_EQ(Load(store).PrimaryServer, "Tunare");
}

TEST(Settings, WatchListKeepsShortNamesOnceAndAtMostSixtyFour) {
    MemoryStore store;
    std::string stored = std::string("Beta\0\0Gamma\0Beta\0", 17) + std::string(64, 'n') + '\0' + std::string(63, 'm') + '\0';
    for (int i = 0; i < 70; ++i) stored += "S" + std::to_string(i) + '\0';
    store.Values["WatchedServers"] = StoredValue{StoredType::TextList, {stored.begin(), stored.end()}};
    const Settings loaded = Load(store);
    ASSERT_EQ(loaded.WatchedServers.size(), 64u);
    EXPECT_EQ(loaded.WatchedServers[1], "Gamma");
    EXPECT_EQ(loaded.WatchedServers[2], std::string(63, 'm'));
    EXPECT_EQ(loaded.WatchedServers[63], "S60");
    MemoryStore saved;
    SaveSettings(loaded, MemoryStoreSeam(saved));
    EXPECT_EQ(Load(saved).WatchedServers, loaded.WatchedServers);
}

TEST(Settings, ServersOwnMinimumsKeepAnyNameAndPassOverBadRecords) {
    auto record = [](const std::string& name, uint32_t minimum) {
        std::string bytes(1, static_cast<char>(name.size()));
        bytes += name;
        for (int shift = 0; shift < 32; shift += 8) bytes += static_cast<char>(minimum >> shift);
        return bytes;
    };
    const std::string hostile = std::string("A=B,\0C\"\xFF", 8);
    const std::string stored = record("Beta", 50) + record(hostile, 0) + record("Beta", 7) + record("", 9) +
                               record(std::string(64, 'n'), 9) + record("Neg", 0xFFFFFFFFu) + record("Big", 65535) +
                               record("Max", 65534) + record("Cut", 5).substr(0, 6);
    MemoryStore store;
    store.Values["ServerMinimums"] = StoredValue{StoredType::Binary, {stored.begin(), stored.end()}};
    Settings loaded = Load(store);
    ASSERT_EQ(loaded.ServerMinimums.size(), 3u);
    EXPECT_EQ(MinimumFor(loaded, "Beta"), 50);
    EXPECT_EQ(MinimumFor(loaded, hostile), 0);
    EXPECT_EQ(MinimumFor(loaded, "Max"), 65534);
    EXPECT_EQ(MinimumFor(loaded, "Neg"), 3);  // the Options minimum
    MemoryStore saved;
    SaveSettings(loaded, MemoryStoreSeam(saved));
    const std::string kept = record("Beta", 50) + record(hostile, 0) + record("Max", 65534);
    EXPECT_EQ(saved.Values.at("ServerMinimums").Data, std::vector<unsigned char>(kept.begin(), kept.end()));
    EXPECT_TRUE(SetServerMinimum(loaded, "Beta", -1) && !SetServerMinimum(loaded, "Beta", 65535));
    EXPECT_EQ(MinimumFor(loaded, "Beta"), 3);
}

namespace {
MemoryStore Saved(const Settings& s) {
    MemoryStore store;
    SaveSettings(s, MemoryStoreSeam(store));
    return store;
}
}  // namespace

// Any record whose values keep their load rules comes back as it was saved; a new record is the
// defaults a first run loads.
TEST(Settings, EveryValueSurvivesARoundTrip) {
    MemoryStore empty;
    EXPECT_TRUE(Saved(Settings()).Values == Saved(Load(empty)).Values);
    std::srand(26);
    auto text = [](size_t most) {
        std::string t(static_cast<size_t>(std::rand()) % (most + 1), 'x');
        for (char& c : t) c = static_cast<char>(1 + std::rand() % 255);
        return t;
    };
    for (int round = 0; round < 200; ++round) {
        Settings s;
        s.X = std::rand() - RAND_MAX / 2;
        s.Width = std::rand() % 4000 + 161;
        s.Maximized = std::rand() % 2;
        s.SortOrder = std::rand() % 3;
        s.MinPlayers = std::rand() % 70000;
        s.RunOnStartup = std::rand() % 2;
        s.NotifyChanges = std::rand() % 2;
        s.TrayShowsCount = std::rand() % 2;
        s.PrimaryServer = text(259);
        s.StatusHost = text(259);
        s.AlertCommand = text(2048);
        s.AlertWebhook = text(2048);
        s.WatchedServers = {text(62) + "w"};
        SetServerMinimum(s, "Own" + text(60), std::rand() % 65535);
        MemoryStore store = Saved(s);
        EXPECT_TRUE(Saved(Load(store)).Values == store.Values) << round;
    }
}

TEST(Settings, LongAlertTextsAreKeptWholeOrNotAtAll) {
    for (const size_t length : {2048u, 2049u, 5000u}) {
        MemoryStore store;
        store.Values["AlertCommand"] = Text(std::string(length, 'c'));
        store.Values["StatusHost"] = Text(std::string(length > 2048 ? 260 : 259, 'h'));
        const Settings s = Load(store);
        EXPECT_EQ(s.AlertCommand.size(), length == 2048 ? 2048u : 0u);
        EXPECT_EQ(s.StatusHost.size(), length == 2048 ? 259u : 0u);
    }
}

// The README's settings table names every value with its type and default, as the program has them.
TEST(Settings, ReadmeTableAgrees) {
    std::ifstream readme(TALLOWIN_SOURCE_DIR "/README.md");
    std::map<std::string, std::string> rows;  // "| `X` | REG_DWORD | 600 |..." by value name
    for (std::string line; std::getline(readme, line);)
        if (line.rfind("| `", 0) == 0 && line.find("| REG_") != std::string::npos)
            rows[line.substr(3, line.find('`', 3) - 3)] = line;
    const char* const types[] = {"REG_DWORD", "REG_DWORD", "REG_SZ", "REG_MULTI_SZ", "REG_BINARY"};
    for (size_t i = 0; i < SETTINGS_COUNT; ++i) {
        const SettingRule& rule = SETTINGS_TABLE[i];
        const bool listed = rule.Kind == SettingKind::Number || rule.Kind == SettingKind::Flag;
        const std::string expected = std::string("| `") + rule.Name + "` | " + types[static_cast<int>(rule.Kind)] +
                                     " | " + (listed ? std::to_string(rule.Default) : std::string("empty")) + " |";
        EXPECT_EQ(rows[rule.Name].substr(0, expected.size()), expected);
    }
    EXPECT_EQ(rows.size(), SETTINGS_COUNT);
}
