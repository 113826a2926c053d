// Tests of when a change of the primary server is told, and how.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "status/notify.h"

namespace {
// One reporting tick: the clock, the settings it runs with, the primary's players, and the notice
// expected ("" for none).
struct Report {
    uint32_t at;
    const char* server;
    int32_t minPlayers;
    int32_t players;
    const char* told;
};

void Play(const std::vector<Report>& reports, const char* what, bool notifyChanges = true) {
    ChangeWatch watch;
    Settings settings;
    SetDefaultSettings(settings);
    settings.NotifyChanges = notifyChanges;
    for (const Report& r : reports) {
        settings.PrimaryServer = r.server;
        settings.MinPlayers = r.minPlayers;
        ChangeNotice notice{};
        const bool up = r.players >= r.minPlayers;
        const bool told = WatchPrimaryServer(watch, settings, up, r.players, r.at, notice);
        EXPECT_EQ(told ? std::string(notice.Text) : "", r.told) << what << " at " << r.at;
        if (told) {
            EXPECT_STREQ(notice.Title, "Tallowin");
        }
    }
}
}  // namespace

TEST(Notify, FirstReportOnlySetsTheBaseline) {
    Play({{0, "Beta", 3, 123, ""}, {15000, "Beta", 3, 123, ""}}, "up at start");
    Play({{0, "Beta", 3, -1, ""}, {15000, "Beta", 3, -1, ""}}, "down at start");
}

TEST(Notify, UpDownUp) {
    Play({{0, "Beta", 3, 123, ""},
          {90000, "Beta", 3, -1, "Beta is DOWN"},
          {105000, "Beta", 3, -1, ""},
          {200000, "Beta", 3, 3, "Beta is up: 3 players"},
          {300000, "Beta", 3, 2, "Beta has 2 players, fewer than 3"}},
         "up, down, up, fewer");
}

TEST(Notify, FlappingIsToldOnceAMinuteAndTheLastStateWins) {
    Play({{0, "Beta", 3, 123, ""},
          {15000, "Beta", 3, -1, "Beta is DOWN"},
          {30000, "Beta", 3, 50, ""},   // inside the minute: held
          {45000, "Beta", 3, -1, ""},   // back to what was told: nothing to tell
          {60000, "Beta", 3, 60, ""},
          {75000, "Beta", 3, 70, "Beta is up: 70 players"},  // the minute is over and it is still up
          {90000, "Beta", 3, -1, ""}},
         "flapping");
    Play({{0, "Beta", 3, 123, ""},
          {15000, "Beta", 3, -1, "Beta is DOWN"},
          {30000, "Beta", 3, 50, ""},
          {76000, "Beta", 3, -1, ""}},  // flapped back before the minute was over: nothing left to tell
         "flapped back");
}

TEST(Notify, ANewPrimaryOrMinimumIsNoChangeOfTheServer) {
    Play({{0, "Beta", 3, 123, ""},
          {15000, "Luclin", 3, -1, ""},  // renamed in Options: a new baseline
          {30000, "Luclin", 3, 400, "Luclin is up: 400 players"},
          {45000, "Luclin", 500, 400, ""},  // a higher minimum makes it 'down' by the user's own hand
          {120000, "Luclin", 500, 600, "Luclin is up: 600 players"}},
         "rename and minimum");
    Play({{0, "", 3, 123, ""}, {15000, "", 3, -1, ""}, {30000, "Beta", 3, -1, ""}, {45000, "Beta", 3, 9, "Beta is up: 9 players"}},
         "no primary, then one");
}

TEST(Notify, TheQuietMinuteSpansTheTickCountWrap) {
    Play({{0xFFFF0000u, "Beta", 3, 123, ""},
          {0xFFFFFF00u, "Beta", 3, -1, "Beta is DOWN"},
          {0x00000100u, "Beta", 3, 10, ""},  // 512 ms later, across the wrap
          {0xFFFFFF00u + 60000u, "Beta", 3, 10, "Beta is up: 10 players"}},
         "wrap");
}

TEST(Notify, SwitchedOffTellsNothingAndKeepsNoStaleChange) {
    Play({{0, "Beta", 3, 123, ""}, {90000, "Beta", 3, -1, ""}}, "off", false);
    ChangeWatch watch;
    Settings settings;
    SetDefaultSettings(settings);
    settings.PrimaryServer = "Beta";
    ChangeNotice notice{};
    settings.NotifyChanges = false;
    WatchPrimaryServer(watch, settings, true, 123, 0, notice);
    WatchPrimaryServer(watch, settings, false, -1, 90000, notice);
    settings.NotifyChanges = true;
    EXPECT_FALSE(WatchPrimaryServer(watch, settings, false, -1, 180000, notice));
}

TEST(Notify, OnePlayerAndLongNames) {
    ChangeNotice notice;
    ComposeNotice(notice, "Beta", true, 1, 0);
    EXPECT_STREQ(notice.Text, "Beta is up: 1 player");
    ComposeNotice(notice, "Beta", false, 1, 3);
    EXPECT_STREQ(notice.Text, "Beta has 1 player, fewer than 3");
    ComposeNotice(notice, std::string(300, 'n'), false, -1, 3);
    EXPECT_EQ(std::string(notice.Text), std::string(255, 'n'));
}
