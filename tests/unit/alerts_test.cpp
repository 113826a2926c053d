// Tests of the alert rule: report sequences for the watched servers and the notices they give.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "status/alerts.h"

namespace {
struct Step {
    // Reports 15 s apart: "Beta=123 Gamma=D" (a watched server left out is not listed), with
    // "+S" seconds more before it, "gap" (asked again), "refuse" (busy, or the shell says no),
    // "pause", "resume", "off" (notifications off), "min=N", "primary=NAME" and "watch=A,B".
    const char* input;
    const char* told;  // the notice expected, "" for none
};

struct Runner {
    AlertState state;
    Settings settings;
    uint32_t now = 1000;
    std::vector<std::string> shown;

    Runner() {
        SetDefaultSettings(settings);
        settings.PrimaryServer = "Beta";
    }

    // Plays one step; the notice shown, or "".
    std::string Play(const std::string& input) {
        std::vector<ServerEntry> servers;
        bool refuse = false, report = false;
        now += 15000;
        std::istringstream words(input);
        for (std::string w; words >> w;) {
            const size_t eq = w.find('=');
            const std::string key = w.substr(0, eq), value = eq == std::string::npos ? "" : w.substr(eq + 1);
            if (w[0] == '+') now += 1000 * std::stoul(w.substr(1));
            else if (w == "gap") NoteReportGap(state);
            else if (w == "refuse") refuse = true;
            else if (w == "pause") PauseAlerts(state, now);
            else if (w == "resume") ResumeAlerts(state);
            else if (w == "off") settings.NotifyChanges = false;
            else if (key == "min") settings.MinPlayers = std::stoi(value);
            else if (key == "primary") settings.PrimaryServer = value;
            else if (key == "watch") {
                settings.WatchedServers.clear();
                std::istringstream names(value);
                for (std::string name; std::getline(names, name, ',');) settings.WatchedServers.push_back(name);
            } else if (eq != std::string::npos) {
                servers.push_back(ServerEntry{key, value == "D" ? -1 : std::stoi(value), 0});
                report = true;
            }
        }
        if (report) ObserveReport(state, settings, servers, now);
        AlertNotice notice;
        if (!DueNotice(state, settings, now, notice) || refuse) return "";
        EXPECT_STREQ(notice.Title, "Tallowin");
        MarkNoticeShown(state, "12:34");
        shown.push_back(notice.Text);
        return notice.Text;
    }
};

void PlayCase(const char* what, const std::vector<Step>& steps) {
    Runner r;
    for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(r.Play(steps[i].input), steps[i].told) << what << ", step " << i;
}
}  // namespace

TEST(Alerts, ReportSequences) {
    PlayCase("the first report is a baseline", {{"Beta=D", ""}, {"Beta=D", ""}});
    PlayCase("one odd answer", {{"Beta=100", ""}, {"Beta=D", ""}, {"Beta=100", ""}, {"Beta=100", ""}});
    PlayCase("down and up again, each on its second report, at the very minimum too",
             {{"min=0 Beta=100", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}, {"Beta=0", ""},
              {"Beta=0", "Beta is up: 0 players"}, {"min=3 +600 Beta=5", ""}, {"Beta=1", ""},
              {"Beta=1", "Beta has 1 player, fewer than 3"}});
    PlayCase("up at the very minimum holds five reports",
             {{"Beta=100", ""}, {"Beta=2", ""}, {"Beta=2", "Beta has 2 players, fewer than 3"}, {"+600 Beta=3", ""},
              {"Beta=3", ""}, {"Beta=3", ""}, {"Beta=3", ""}, {"Beta=3", "Beta is up: 3 players"}});
    PlayCase("two servers in one balloon, ups first",
             {{"watch=Gamma,Delta Beta=100 Gamma=40 Delta=9", ""}, {"Beta=D Gamma=D Delta=9", ""},
              {"Beta=D Gamma=D Delta=9", "Beta and Gamma are DOWN"}, {"Beta=D Gamma=40 Delta=D", ""},
              {"Beta=D Gamma=40 Delta=D", "Gamma is up: 40 players; Delta is DOWN"}});
    PlayCase("gone and back during maintenance",
             {{"Beta=100", ""}, {"Beta=D", ""}, {"gap", ""}, {"gap +300", ""}, {"Beta=100", ""}, {"Beta=100", ""}});
    PlayCase("a change across the gap, confirmed after it",
             {{"Beta=100", ""}, {"Beta=D", ""}, {"gap", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}});
    PlayCase("a server gone from the names",
             {{"watch=Gamma Beta=100 Gamma=5", ""}, {"Beta=100", ""}, {"Beta=100", "Gamma is no longer listed"},
              {"Beta=100 Gamma=50", ""}, {"Beta=100 Gamma=50", "Gamma is up: 50 players"}});
    PlayCase("a pause tells what still stands when it ends",
             {{"Beta=100 watch=Gamma Gamma=50", ""}, {"pause Beta=D Gamma=D", ""}, {"Beta=D Gamma=D", ""},
              {"Beta=D Gamma=50", ""}, {"+3600 Beta=D Gamma=50", "Beta is DOWN"}});
    PlayCase("resumed by hand", {{"Beta=100", ""}, {"pause Beta=D", ""}, {"Beta=D", ""}, {"resume Beta=D", "Beta is DOWN"}});
    PlayCase("a refused balloon is tried again as things then stand",
             {{"Beta=100 watch=Gamma Gamma=9", ""}, {"Beta=D Gamma=D", ""}, {"refuse Beta=D Gamma=D", ""},
              {"refuse Beta=D Gamma=9", ""}, {"Beta=D Gamma=9", "Beta is DOWN"}});
    PlayCase("a new minimum, primary or watch list is a baseline",
             {{"Beta=100 Gamma=5", ""}, {"min=200 Beta=100 Gamma=5", ""}, {"Beta=100 Gamma=5", ""},
              {"primary=Gamma Beta=100 Gamma=5", ""}, {"Beta=100 Gamma=5", ""}, {"watch=Beta Beta=100 Gamma=5", ""},
              {"Beta=300 Gamma=5", ""}, {"Beta=300 Gamma=5", "Beta is up: 300 players"}});
    PlayCase("switched off, nothing old is told later",
             {{"Beta=100", ""}, {"off Beta=D", ""}, {"Beta=D", ""}, {"Beta=D", ""}});
}

TEST(Alerts, AHoveringCountTellsAtMostOneChangeInTenMinutes) {
    for (int period : {1, 2, 3, 5, 7, 10, 20}) {
        for (const auto& [first, second] : {std::pair{2, 3}, {3, 2}, {2, 4}, {4, 2}}) {
            Runner r;
            uint32_t last = 0;
            for (int report = 0; report < 200; ++report) {
                const int players = (report / period) % 2 == 0 ? first : second;
                if (!r.Play("Beta=" + std::to_string(players)).empty()) {
                    EXPECT_TRUE(last == 0 || r.now - last >= ALERT_SETTLE_MS) << period << " " << first << " " << report;
                    last = r.now;
                }
            }
        }
    }
}

TEST(Alerts, AFullBalloonNamesWhatFitsAndCountsTheRest) {
    Runner r;
    std::string down, up;
    for (int i = 0; i < 64; ++i) {
        const std::string name = "Server-number-" + std::to_string(i);
        r.settings.WatchedServers.push_back(name);
        up += " " + name + "=50";
        down += " " + name + "=D";
    }
    r.Play("Beta=50" + up);
    r.Play("Beta=50" + down);
    const std::string text = r.Play("Beta=50" + down);
    EXPECT_EQ(text.rfind("Server-number-0, Server-number-1, ", 0), 0u) << text;
    EXPECT_NE(text.find(" more are DOWN"), std::string::npos) << text;
    EXPECT_LT(text.size(), NOTICE_TEXT_ROOM);
    ASSERT_EQ(r.state.Recent.size(), RECENT_CHANGE_COUNT);
    EXPECT_EQ(r.state.Recent[0], "12:34 Server-number-0 is DOWN");
}
