// Tests of the alert rule: report sequences for the watched servers and the notices they give.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "status/alerts.h"

namespace {
// Plays reports 15 s apart: "Beta=123 Gamma=D" (a watched server left out is not listed), with "+S"
// seconds more first, "gap" (asked again), "busy", "refuse" (the shell says no), "pause", "resume",
// "off" and "on" (notifications), "min=N", "own=N" (Beta's own minimum), "primary=NAME" and "watch=A"
// or "watch=A,B". Gives the balloon shown; what went to the command and webhook joins `delivered`.
struct Runner {
    AlertState state;
    Settings settings;
    uint32_t now = 1000;
    std::vector<std::string> delivered;

    Runner() {
        SetDefaultSettings(settings);
        settings.PrimaryServer = "Beta";
    }
    std::string Play(const std::string& input) {
        std::vector<ServerEntry> servers;
        bool busy = false, refuse = false;
        now += 15000;
        std::istringstream words(input);
        for (std::string w; words >> w;) {
            const size_t eq = w.find('=');
            const std::string key = w.substr(0, eq), value = w.substr(eq + 1);
            if (w[0] == '+') now += 1000 * std::stoul(value);
            else if (w == "gap") NoteReportGap(state, now);
            else if (w == "busy") busy = true;
            else if (w == "refuse") refuse = true;
            else if (w == "pause") PauseAlerts(state, now);
            else if (w == "resume") ResumeAlerts(state);
            else if (w == "off" || w == "on") settings.NotifyChanges = w == "on";
            else if (key == "min") settings.MinPlayers = std::stoi(value);
            else if (key == "own") SetServerMinimum(settings, "Beta", std::stoi(value));
            else if (key == "primary") settings.PrimaryServer = value;
            else if (key == "watch") settings.WatchedServers = {value.substr(0, value.find(',')), value.substr(value.find(',') + 1)};
            else servers.push_back(ServerEntry{key, value == "D" ? -1 : std::stoi(value), 0});
        }
        if (!servers.empty()) ObserveReport(state, settings, servers, now);
        AlertNotice notice;
        std::string shown;
        if (!busy && DueNotice(state, settings, now, AlertWay::Balloon, notice) && !refuse) {
            EXPECT_STREQ(notice.Title, "Tallowin");
            MarkNoticeTold(state, notice, "12:34");
            shown = notice.Text;
        }
        if (DueNotice(state, settings, now, AlertWay::Delivery, notice)) {
            MarkNoticeTold(state, notice, "");
            delivered.push_back(notice.Text);
        }
        return shown;
    }
};
}  // namespace

TEST(Alerts, ReportSequences) {
    const std::vector<std::pair<const char*, std::vector<std::pair<const char*, const char*>>>> cases = {
        {"the first report is a baseline", {{"Beta=D", ""}, {"Beta=D", ""}}},
        {"one odd answer", {{"Beta=100", ""}, {"Beta=D", ""}, {"Beta=100", ""}, {"Beta=100", ""}}},
        {"down and up, each on its second report, at the very minimum too",
         {{"min=0 Beta=100", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}, {"Beta=0", ""},
          {"Beta=0", "Beta is up: 0 players"}, {"Beta=D", ""}, {"Beta=D", ""}}},
        {"a restart: down, one odd count, then back up at once",
         {{"Beta=40", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}, {"Beta=0", ""}, {"Beta=40", ""},
          {"Beta=40", "Beta is up: 40 players"}}},
        {"changing twice in ten minutes while held: told once as such, then where it settled",
         {{"Beta=40", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}, {"Beta=2", ""},
          {"Beta=2", "Beta has 2 players, fewer than 3"}, {"Beta=D", ""}, {"Beta=D", ""}, {"Beta=40", ""},
          {"Beta=40", ""}, {"+510 Beta=40", "Beta keeps going up and down"}, {"Beta=40", ""},
          {"+600 Beta=40", "Beta is up: 40 players"}}},
        {"a held change that came back, then a change hours later, is told as it is",
         {{"Beta=40", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}, {"Beta=40", ""}, {"Beta=40", "Beta is up: 40 players"},
          {"Beta=D", ""}, {"Beta=D", ""}, {"Beta=40", ""}, {"Beta=40", ""}, {"+7200 Beta=D", ""}, {"Beta=D", "Beta is DOWN"}}},
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
        {"a new minimum, primary or watch list is a baseline for what it changes only",
         {{"Beta=100 Gamma=5", ""}, {"min=200 Beta=100 Gamma=5", ""}, {"Beta=100 Gamma=5", ""},
          {"primary=Gamma Beta=100 Gamma=5", ""}, {"Beta=100 Gamma=5", ""}, {"watch=Beta Beta=100 Gamma=5", ""},
          {"Beta=300 Gamma=D", ""}, {"min=3 Beta=300 Gamma=D", "Gamma is DOWN"}, {"pause Beta=D Gamma=D", ""},
          {"Beta=D Gamma=D", ""}, {"watch=Beta,Delta min=9 resume Beta=D Gamma=D", "Beta is DOWN"},
          {"Beta=40 Gamma=D", ""}, {"refuse Beta=40 Gamma=D", ""}, {"watch=Delta Beta=40 Gamma=D", ""}}},
        {"switched off, nothing old is told later", {{"Beta=100", ""}, {"off Beta=D", ""}, {"Beta=D", ""}, {"Beta=D", ""}}},
        {"nor that it kept changing, once switched on again",
         {{"Beta=40", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}, {"Beta=2", ""}, {"Beta=2", "Beta has 2 players, fewer than 3"},
          {"Beta=D", ""}, {"Beta=D", ""}, {"Beta=40", ""}, {"Beta=40", ""}, {"+510 Beta=40", "Beta keeps going up and down"},
          {"off Beta=40", ""}, {"on +600 Beta=40", ""}, {"+600 Beta=40", ""}}},
        {"two changes during a pause are two changes", {{"Beta=40", ""}, {"pause Beta=D", ""}, {"Beta=D", ""}, {"Beta=40", ""},
                                                         {"Beta=40", ""}, {"Beta=D", ""}, {"resume Beta=D", "Beta is DOWN"}}},
        {"a change held while the minimum moves is told against the new one",
         {{"Beta=D", ""}, {"Beta=40", ""}, {"Beta=40", "Beta is up: 40 players"}, {"pause Beta=2", ""}, {"Beta=2", ""},
          {"min=5 Beta=2", ""}, {"resume Beta=2", "Beta has 2 players, fewer than 5"}}},
        {"held by the budget while the server's own minimum moves",
         {{"Beta=40", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}, {"Beta=40", ""}, {"Beta=40", "Beta is up: 40 players"},
          {"Beta=2", ""}, {"Beta=2", ""}, {"own=5 Beta=2", ""}, {"+600 Beta=2", "Beta has 2 players, fewer than 5"}}},
        {"watched again, a server keeps the notices that named it",
         {{"watch=Gamma Beta=40 Gamma=40", ""}, {"Beta=40 Gamma=D", ""}, {"Beta=40 Gamma=D", "Gamma is DOWN"}, {"Beta=40 Gamma=40", ""},
          {"Beta=40 Gamma=40", "Gamma is up: 40 players"}, {"watch=Delta Beta=40 Gamma=D", ""}, {"watch=Gamma Beta=40 Gamma=D", ""},
          {"Beta=40 Gamma=40", ""}, {"Beta=40 Gamma=40", ""}, {"+480 Beta=40 Gamma=40", ""}, {"Beta=40 Gamma=40", ""},
          {"Beta=40 Gamma=40", "Gamma is up: 40 players"}}},
    };
    for (const auto& [what, steps] : cases) {
        Runner r;
        for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(r.Play(steps[i].first), steps[i].second) << what << ", " << i;
    }
}

// Every on/off pattern of 2 to 12 reports for an hour, then up for good: the first two changes are
// told, then once that it keeps going up and down, then nothing until it has held one state for
// ten minutes, then where it settled. The command and webhook tell the same; while the user is busy
// they go on alone, and the balloon tells later how things then stand.
TEST(Alerts, AServerThatKeepsChangingIsToldSoOnce) {
    for (int on = 2; on <= 12; ++on)
        for (int off = 2; off <= 12; ++off) {
            Runner r;
            std::vector<std::string> shown;
            int flapped = -1, settled = -1, changed = 0;
            bool seen = true, confirmed = true;
            for (int report = 0; report < 320; ++report) {
                const bool up = report >= 240 || report % (on + off) < on;
                if (up == seen && up != confirmed) confirmed = up, changed = report;  // the second report in a row
                seen = up;
                const std::string text = r.Play(up ? "Beta=40" : "Beta=D");
                if (text.empty()) continue;
                shown.push_back(text);
                if (text == "Beta keeps going up and down") flapped = report;
                settled = report;
            }
            const std::string pattern = std::to_string(on) + "/" + std::to_string(off);
            EXPECT_EQ(shown, (std::vector<std::string>{"Beta is DOWN", "Beta is up: 40 players", "Beta keeps going up and down",
                                                        "Beta is up: 40 players"})) << pattern;
            // As soon as the budget allows, 600,000 ms and a report after the first, at a change; settled, as long after the last.
            EXPECT_TRUE(flapped >= on + 1 + 41 && flapped <= on + 1 + 41 + on + off) << pattern << " " << flapped;
            EXPECT_EQ(settled, changed + 41) << pattern;
            EXPECT_EQ(r.delivered, shown) << pattern;
        }
    Runner r;
    for (const char* report : {"Beta=40", "busy Beta=D", "busy Beta=D", "busy Beta=40", "busy Beta=40", "busy Beta=D", "busy Beta=D"})
        EXPECT_EQ(r.Play(report), "");
    EXPECT_EQ(r.delivered, (std::vector<std::string>{"Beta is DOWN", "Beta is up: 40 players"}));
    EXPECT_EQ(r.Play("Beta=D"), "Beta is DOWN");
    EXPECT_EQ(r.delivered.size(), 2u);  // the third change waits for the budget, on its own account
}

// A notice named a server, then the service went away for the 49.7 days the tick count takes to wrap:
// what was named then no longer counts against the budget.
TEST(Alerts, TheBudgetOutlivesNoWrapOfTheTickCount) {
    Runner r;
    for (const char* report : {"Beta=40", "Beta=D", "Beta=D", "Beta=40", "Beta=40"}) r.Play(report);
    for (int minute = 0; minute < 71582; ++minute) NoteReportGap(r.state, r.now += 60000);
    EXPECT_EQ(r.Play("Beta=D"), "");
    EXPECT_EQ(r.Play("Beta=D"), "Beta is DOWN");
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
    r.Play("Beta=50" + up);
    EXPECT_NE(r.Play("Beta=50" + up).find("; and "), std::string::npos);  // ups are named one by one: the rest counted apart
}

// Thousands of seeded random sequences (counts, DOWN, not listed, gaps, pauses, a busy user, refused
// balloons and settings changes), checked for each way of telling against the rule's promises in
// literal terms: a state counts after two reports in a row; no server is named in more than two
// notices in 600,000 ms, nor after saying it keeps changing until it held one state that long; a
// notice tells only a state that counts, with the latest report's count; and a change that counts
// is told at once whenever that way may tell it: the balloon while the user is available, the
// command and webhook whether or not, neither while paused.
TEST(Alerts, PromisesHoldOverRandomSequences) {
    enum State { UP, FEWER, DOWN, UNLISTED };
    struct Way {  // what one way told of a server
        int told = -1, toldCount = 0, changes = 0;
        bool flapped = false;  // it last said the server keeps changing
    };
    struct Model {  // what the rule's promises say of one watched server
        int seen = -1, run = 0, count = 0, confirmed = -1, players = 0, minimum = 0;
        std::vector<uint32_t> changed;  // the clocks of its confirmed changes
        Way ways[2];
    };
    std::mt19937 random(20261209);
    const std::vector<std::string> names = {"Beta", "Gamma", "Delta"};
    const int values[] = {0, 2, 3, 4, 40, -1, -2};  // -1 DOWN, -2 not listed
    auto stateOf = [](int count, int minimum) { return count < 0 ? DOWN : count >= minimum ? UP : FEWER; };
    auto onLine = [](int state) { return state == UP || state == FEWER; };
    for (int sequence = 0; sequence < 2500; ++sequence) {
        Runner r;
        r.settings.WatchedServers = {"Gamma"};
        std::map<std::string, Model> models;
        std::map<std::string, std::vector<uint32_t>> named[2];  // the clocks of the notices naming each, by way
        std::map<std::string, int> answer, own;  // own: a server's own minimum, -1 for the Options one
        int period[3] = {1 + static_cast<int>(random() % 6), 1 + static_cast<int>(random() % 6), 30};
        uint32_t pausedUntil = 0;
        for (int report = 0; report < 100; ++report) {
            auto chance = [&](int percent) { return static_cast<int>(random() % 100) < percent; };
            r.now += 15000;
            if (chance(3)) {
                NoteReportGap(r.state, r.now);
                r.now += 15000 * (1 + random() % 20);
                for (auto& m : models) m.second.run = 0;
            }
            if (chance(2)) PauseAlerts(r.state, pausedUntil = r.now), pausedUntil += 3600000;
            if (chance(3)) ResumeAlerts(r.state), pausedUntil = 0;
            if (chance(2)) r.settings.MinPlayers = 2 + static_cast<int>(random() % 3);
            if (chance(2)) {
                const std::string& name = names[random() % 3];
                own[name] = random() % 2 ? -1 : 2 + static_cast<int>(random() % 3);
                SetServerMinimum(r.settings, name, own[name]);
            }
            if (chance(2)) r.settings.WatchedServers = {names[1 + random() % 2]};
            if (chance(1)) r.settings.PrimaryServer = r.settings.PrimaryServer == "Beta" ? "Delta" : "Beta";
            const bool busy = chance(10), refuse = chance(5);
            std::vector<ServerEntry> servers;
            for (size_t i = 0; i < names.size(); ++i) {
                if (report % period[i] == 0) answer[names[i]] = values[random() % 7];
                if (answer[names[i]] != -2) servers.push_back({names[i], answer[names[i]], 0});
            }
            // The model follows the watch list, the minimum and the report.
            for (auto it = models.begin(); it != models.end();)
                it = IsWatched(r.settings, it->first) ? std::next(it) : models.erase(it);
            for (const std::string& name : names) {
                if (!IsWatched(r.settings, name)) continue;
                Model& m = models[name];
                const int count = answer[name];
                const int minimum = own.count(name) && own[name] >= 0 ? own[name] : r.settings.MinPlayers;
                auto line = [&](int state, int players) { return onLine(state) ? stateOf(players, minimum) : state; };
                const int state = count == -2 ? UNLISTED : stateOf(count, minimum);
                if (m.confirmed < 0) {
                    m = Model{state, 1, count, state, count, minimum, {}, {{state, count, 0, false}, {state, count, 0, false}}};
                    continue;
                }
                if (minimum != m.minimum) {  // a new minimum moves the line between up and fewer only
                    m.minimum = minimum;
                    const bool due[2] = {m.ways[0].told != m.confirmed, m.ways[1].told != m.confirmed};
                    m.confirmed = line(m.confirmed, m.players);
                    m.seen = line(m.seen, m.count);
                    if (onLine(m.seen) && m.seen == m.confirmed) m.players = m.count;
                    for (int w = 0; w < 2; ++w) {  // a way with nothing due takes it as its baseline
                        Way& way = m.ways[w];
                        if (!due[w] && onLine(way.told) && onLine(m.confirmed)) way.told = m.confirmed, way.toldCount = m.players;
                        else way.told = line(way.told, way.toldCount);
                    }
                }
                m.run = state == m.seen ? m.run + 1 : 1;
                m.seen = state;
                if (count != -2) m.count = count;
                if (state != m.confirmed && m.run >= 2) {
                    m.changed.push_back(r.now);
                    for (Way& way : m.ways) ++way.changes;
                }
                if (state == m.confirmed || m.run >= 2) m.confirmed = state, m.players = count;
            }
            ObserveReport(r.state, r.settings, servers, r.now);
            AlertNotice notices[2];
            bool told[2] = {!busy && DueNotice(r.state, r.settings, r.now, AlertWay::Balloon, notices[0]) && !refuse, false};
            if (told[0]) MarkNoticeTold(r.state, notices[0], "12:34");
            told[1] = DueNotice(r.state, r.settings, r.now, AlertWay::Delivery, notices[1]);
            if (told[1]) MarkNoticeTold(r.state, notices[1], "");
            for (int w = 0; w < 2; ++w) {
                const bool available = (w == 1 || (!busy && !refuse)) && r.now >= pausedUntil;
                for (auto& [name, m] : models) {
                    Way& way = m.ways[w];
                    const AlertChange* change = nullptr;
                    for (const AlertChange& c : notices[w].Changes) if (told[w] && c.Server == name) change = &c;
                    auto within = [&](const std::vector<uint32_t>& clocks) {
                        return std::count_if(clocks.begin(), clocks.end(), [&](uint32_t t) { return r.now - t <= 600000; });
                    };
                    const auto recent = within(named[w][name]);
                    const bool settled = within(m.changed) == 0;
                    const std::string at = std::to_string(sequence) + "/" + std::to_string(report) + " " + name + " way " + std::to_string(w);
                    if (!change) {
                        EXPECT_FALSE(available && m.seen == m.confirmed &&
                                     (way.flapped ? settled && recent == 0 : m.confirmed != way.told && recent < 2))
                            << at << ": a change that counts was not told";
                        continue;
                    }
                    ASSERT_LT(recent, 2) << at << ": a third notice in ten minutes";
                    ASSERT_TRUE(!way.flapped || (settled && recent == 0)) << at << ": named again while it kept changing";
                    named[w][name].push_back(r.now);
                    const bool flapping = change->Message == name + " keeps going up and down";
                    EXPECT_TRUE(!flapping || (!way.flapped && way.changes >= 2 && within(m.changed) >= 2)) << at << ": said to keep changing";
                    ASSERT_TRUE(m.seen == m.confirmed && (flapping || way.flapped || m.confirmed != way.told) &&
                                static_cast<int>(change->State) - 1 == m.confirmed) << at << ": " << change->Message;
                    if (onLine(m.confirmed)) {
                        EXPECT_TRUE(change->Players == m.count && change->Minimum == m.minimum) << at << ": " << change->Message;
                    }
                    way = Way{m.confirmed, m.players, 0, flapping};
                }
            }
        }
    }
}
