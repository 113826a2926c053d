// Tests of the alert rule: report sequences for the watched servers and the notices they give.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "status/alerts.h"

namespace {
// Plays reports 15 s apart: "Beta=123 Gamma=D" (a watched server left out is not listed), with "+S"
// seconds more first, "gap" (asked again), "refuse" (busy, or the shell says no), "pause",
// "resume", "off" (notifications off), "min=N", "primary=NAME" and "watch=A" or "watch=A,B".
// Gives the notice shown.
struct Runner {
    AlertState state;
    Settings settings;
    uint32_t now = 1000;

    Runner() {
        SetDefaultSettings(settings);
        settings.PrimaryServer = "Beta";
    }
    std::string Play(const std::string& input) {
        std::vector<ServerEntry> servers;
        bool refuse = false;
        now += 15000;
        std::istringstream words(input);
        for (std::string w; words >> w;) {
            const size_t eq = w.find('=');
            const std::string key = w.substr(0, eq), value = w.substr(eq + 1);
            if (w[0] == '+') now += 1000 * std::stoul(value);
            else if (w == "gap") NoteReportGap(state);
            else if (w == "refuse") refuse = true;
            else if (w == "pause") PauseAlerts(state, now);
            else if (w == "resume") ResumeAlerts(state);
            else if (w == "off") settings.NotifyChanges = false;
            else if (key == "min") settings.MinPlayers = std::stoi(value);
            else if (key == "primary") settings.PrimaryServer = value;
            else if (key == "watch") settings.WatchedServers = {value.substr(0, value.find(',')), value.substr(value.find(',') + 1)};
            else servers.push_back(ServerEntry{key, value == "D" ? -1 : std::stoi(value), 0});
        }
        if (!servers.empty()) ObserveReport(state, settings, servers, now);
        AlertNotice notice;
        if (!DueNotice(state, settings, now, notice) || refuse) return "";
        EXPECT_STREQ(notice.Title, "Tallowin");
        MarkNoticeShown(state, "12:34");
        return notice.Text;
    }
};
}  // namespace

TEST(Alerts, ReportSequences) {
    const std::vector<std::pair<const char*, std::vector<std::pair<const char*, const char*>>>> cases = {
        {"the first report is a baseline", {{"Beta=D", ""}, {"Beta=D", ""}}},
        {"one odd answer", {{"Beta=100", ""}, {"Beta=D", ""}, {"Beta=100", ""}, {"Beta=100", ""}}},
        {"down and up, each on its second report, at the very minimum too",
         {{"min=0 Beta=100", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}, {"Beta=0", ""},
          {"Beta=0", "Beta is up: 0 players"}, {"min=3 +600 Beta=5", ""}, {"Beta=1", ""},
          {"Beta=1", "Beta has 1 player, fewer than 3"}}},
        {"up at the very minimum holds five reports",
         {{"Beta=100", ""}, {"Beta=2", ""}, {"Beta=2", "Beta has 2 players, fewer than 3"}, {"+600 Beta=3", ""},
          {"Beta=3", ""}, {"Beta=3", ""}, {"Beta=3", ""}, {"Beta=3", "Beta is up: 3 players"}}},
        {"two servers in one balloon, ups first",
         {{"watch=Gamma,Delta Beta=100 Gamma=40 Delta=9", ""}, {"Beta=D Gamma=D Delta=9", ""},
          {"Beta=D Gamma=D Delta=9", "Beta and Gamma are DOWN"}, {"Beta=D Gamma=40 Delta=D", ""},
          {"Beta=D Gamma=40 Delta=D", "Gamma is up: 40 players; Delta is DOWN"}}},
        {"gone and back during maintenance",
         {{"Beta=100", ""}, {"Beta=D", ""}, {"gap", ""}, {"gap +300", ""}, {"Beta=100", ""}, {"Beta=100", ""}}},
        {"a change across the gap, confirmed after it",
         {{"Beta=100", ""}, {"Beta=D", ""}, {"gap", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}}},
        {"a server gone from the names",
         {{"watch=Gamma Beta=100 Gamma=5", ""}, {"Beta=100", ""}, {"Beta=100", "Gamma is no longer listed"},
          {"Beta=100 Gamma=50", ""}, {"Beta=100 Gamma=50", "Gamma is up: 50 players"}}},
        {"a pause tells what still stands when it ends",
         {{"Beta=100 watch=Gamma Gamma=50", ""}, {"pause Beta=D Gamma=D", ""}, {"Beta=D Gamma=D", ""},
          {"Beta=D Gamma=50", ""}, {"+3600 Beta=D Gamma=50", "Beta is DOWN"}}},
        {"resumed by hand", {{"Beta=100", ""}, {"pause Beta=D", ""}, {"Beta=D", ""}, {"resume Beta=D", "Beta is DOWN"}}},
        {"busy or refused: told later as things then stand",
         {{"Beta=100 watch=Gamma Gamma=9", ""}, {"Beta=D Gamma=D", ""}, {"refuse Beta=D Gamma=D", ""},
          {"refuse Beta=D Gamma=9", ""}, {"Beta=D Gamma=9", "Beta is DOWN"}}},
        {"a new minimum, primary or watch list is a baseline",
         {{"Beta=100 Gamma=5", ""}, {"min=200 Beta=100 Gamma=5", ""}, {"Beta=100 Gamma=5", ""},
          {"primary=Gamma Beta=100 Gamma=5", ""}, {"Beta=100 Gamma=5", ""}, {"watch=Beta Beta=100 Gamma=5", ""},
          {"Beta=300 Gamma=5", ""}, {"Beta=300 Gamma=5", "Beta is up: 300 players"}}},
        {"switched off, nothing old is told later", {{"Beta=100", ""}, {"off Beta=D", ""}, {"Beta=D", ""}, {"Beta=D", ""}}},
    };
    for (const auto& [what, steps] : cases) {
        Runner r;
        for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(r.Play(steps[i].first), steps[i].second) << what << ", " << i;
    }
}

TEST(Alerts, AHoveringCountTellsAtMostOneChangeInTenMinutes) {
    for (int period : {1, 2, 3, 5, 7, 10, 20}) {
        for (const auto& [first, second] : {std::pair{2, 3}, {3, 2}, {2, 4}, {4, 2}}) {
            Runner r;
            uint32_t last = 0;
            for (int report = 0; report < 200; ++report) {
                if (r.Play("Beta=" + std::to_string((report / period) % 2 ? second : first)).empty()) continue;
                EXPECT_TRUE(last == 0 || r.now - last >= ALERT_SETTLE_MS) << period << " " << first << " " << report;
                last = r.now;
            }
        }
    }
}

TEST(Alerts, AFullBalloonNamesWhatFitsAndCountsTheRest) {
    Runner r;
    std::string up, down;
    for (int i = 0; i < 64; ++i) {
        r.settings.WatchedServers.push_back("Server-number-" + std::to_string(i));
        up += " " + r.settings.WatchedServers.back() + "=50";
        down += " " + r.settings.WatchedServers.back() + "=D";
    }
    r.Play("Beta=50" + up);
    r.Play("Beta=50" + down);
    const std::string text = r.Play("Beta=50" + down);
    EXPECT_EQ(text.rfind("Server-number-0, Server-number-1, ", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - 14), " more are DOWN") << text;
    EXPECT_LT(text.size(), NOTICE_TEXT_ROOM);
    ASSERT_EQ(r.state.Recent.size(), RECENT_CHANGE_COUNT);
    EXPECT_EQ(r.state.Recent[0], "12:34 Server-number-0 is DOWN");
}
