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
// seconds more first, "gap" (asked again), "refuse" (busy, or the shell says no), "pause",
// "resume", "off" (notifications off), "min=N", "primary=NAME" and "watch=A" or "watch=A,B".
// Gives the notice shown ("on": notifications on again); what the command and webhook got joins `delivered`.
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
        bool refuse = false;
        now += 15000;
        std::istringstream words(input);
        for (std::string w; words >> w;) {
            const size_t eq = w.find('=');
            const std::string key = w.substr(0, eq), value = w.substr(eq + 1);
            if (w[0] == '+') now += 1000 * std::stoul(value);
            else if (w == "gap") NoteReportGap(state, now);
            else if (w == "refuse") refuse = true;
            else if (w == "pause") PauseAlerts(state, now);
            else if (w == "resume") ResumeAlerts(state);
            else if (w == "off" || w == "on") settings.NotifyChanges = w == "on";
            else if (key == "min") settings.MinPlayers = std::stoi(value);
            else if (key == "primary") settings.PrimaryServer = value;
            else if (key == "watch") settings.WatchedServers = {value.substr(0, value.find(',')), value.substr(value.find(',') + 1)};
            else servers.push_back(ServerEntry{key, value == "D" ? -1 : std::stoi(value), 0});
        }
        if (!servers.empty()) ObserveReport(state, settings, servers, now);
        AlertNotice notice, delivery;
        if (DueNotice(state, settings, now, AlertWay::Delivery, delivery)) MarkNoticeTold(state, delivery, ""), delivered.push_back(delivery.Text);
        if (!DueNotice(state, settings, now, AlertWay::Balloon, notice) || refuse) return "";
        EXPECT_STREQ(notice.Title, "Tallowin");
        MarkNoticeTold(state, notice, "12:34");
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
        {"switched off, nothing old is told later, nor counted as changing", {{"Beta=40", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"},
          {"Beta=40", ""}, {"Beta=40", "Beta is up: 40 players"}, {"off Beta=D", ""}, {"Beta=D", ""}, {"Beta=40", ""}, {"Beta=40", ""},
          {"on Beta=D", ""}, {"Beta=D", ""}, {"+480 Beta=D", "Beta is DOWN"}}},
        {"nor that it kept changing, once switched on", {{"Beta=40", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}, {"Beta=2", ""},
          {"Beta=2", "Beta has 2 players, fewer than 3"}, {"Beta=D", ""}, {"Beta=D", ""}, {"Beta=40", ""}, {"Beta=40", ""},
          {"+510 Beta=40", "Beta keeps going up and down"}, {"off Beta=40", ""}, {"on +600 Beta=40", ""}, {"+600 Beta=40", ""}}},
        {"a spell of changes ends after ten quiet minutes; two in a pause are two", {{"Beta=40", ""}, {"Beta=D", ""},
          {"Beta=D", "Beta is DOWN"}, {"Beta=40", ""}, {"Beta=40", "Beta is up: 40 players"}, {"Beta=D", ""}, {"Beta=D", ""}, {"Beta=40", ""},
          {"Beta=40", ""}, {"+660 pause Beta=40", ""}, {"Beta=D", ""}, {"Beta=D", ""}, {"Beta=40", ""}, {"Beta=40", ""}, {"Beta=D", ""},
          {"resume Beta=D", "Beta is DOWN"}}},
        {"a held change told ends the spell", {{"Beta=40", ""}, {"Beta=D", ""}, {"Beta=D", "Beta is DOWN"}, {"Beta=40", ""},
          {"Beta=40", "Beta is up: 40 players"}, {"Beta=D", ""}, {"Beta=D", ""}, {"+540 Beta=D", "Beta is DOWN"}, {"pause Beta=40", ""},
          {"Beta=40", ""}, {"Beta=D", ""}, {"Beta=D", ""}, {"Beta=40", ""}, {"Beta=40", ""}, {"resume Beta=40", "Beta is up: 40 players"}}},
    };
    for (const auto& [what, steps] : cases) {
        Runner r;
        for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(r.Play(steps[i].first), steps[i].second) << what << ", " << i;
    }
}

// Every on/off pattern of 2 to 12 reports for an hour, then up: two changes told, then once that it keeps
// going up and down, when the budget allows; nothing till it held one state 600,000 ms. The same to
// the command and webhook. Then the service is away for the 49.7 days the tick count takes to wrap.
TEST(Alerts, AServerThatKeepsChangingIsToldSoOnce) {
    for (int on = 2, off = 2; off <= 12; on = on == 12 ? 2 : on + 1, off += on == 2) {
        Runner r;
        std::vector<std::string> shown;
        int flapped = -1, settled = -1, changed = 0, seen = 1, confirmed = 1;
        for (int report = 0; report < 320; ++report) {
            const int up = report >= 240 || report % (on + off) < on;
            if (up == seen && up != confirmed) confirmed = up, changed = report;  // the second report in a row
            const std::string text = r.Play((seen = up) ? "Beta=40" : "Beta=D");
            if (!text.empty()) shown.push_back(text), settled = report, flapped = shown.size() == 3 ? report : flapped;
        }
        EXPECT_EQ(shown, (std::vector<std::string>{"Beta is DOWN", "Beta is up: 40 players", "Beta keeps going up and down",
                                                    "Beta is up: 40 players"})) << on << "/" << off;
        EXPECT_TRUE(flapped >= on + 42 && flapped <= 2 * on + off + 42 && settled == changed + 41) << on << "/" << off;
        EXPECT_EQ(r.delivered, shown) << on << "/" << off;
        for (int minute = 0; minute < 71582; ++minute) NoteReportGap(r.state, r.now += 60000);
        EXPECT_TRUE(r.Play("Beta=D").empty() && r.Play("Beta=D") == "Beta is DOWN") << on << "/" << off;
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
    r.Play("Beta=50" + up);
    EXPECT_NE(r.Play("Beta=50" + up).find("; and "), std::string::npos);  // ups are named one by one: the rest counted apart
}

// Thousands of seeded random sequences (counts, DOWN, not listed, gaps, pauses, refused balloons and
// settings changes), checked against the rule's promises in literal terms: a state counts after two
// reports in a row; no server is named in more than two balloons in 600,000 ms; a balloon tells
// only a state that counts and that the latest report still shows; and a change that counts is told
// at once whenever the user can be told and those limits allow it.
TEST(Alerts, PromisesHoldOverRandomSequences) {
    enum State { UP, FEWER, DOWN, UNLISTED, FLAPPING };
    struct Model {           // what the rule's promises say of one watched server
        int seen = -1, run = 0, count = 0;
        int confirmed = -1, players = 0, told = -1, minimum = 0, changes = 0, toldCount = 0;
        std::vector<uint32_t> changed;  // the clocks of its confirmed changes
        bool flapped = false;           // the last balloon that named it said it keeps changing
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
        std::map<std::string, std::vector<uint32_t>> named;  // the clocks of the balloons that named each
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
            const bool refuse = chance(10);
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
                auto line = [&](int state, int players) { return state == UP || state == FEWER ? stateOf(players, minimum) : state; };
                const int state = count == -2 ? UNLISTED : stateOf(count, minimum);
                if (m.confirmed < 0) {
                    m = Model{state, 1, count, state, count, state, minimum, 0, count, {}, false};
                    continue;
                }
                if (minimum != m.minimum) {  // a new minimum moves the line between up and fewer only
                    m.minimum = minimum;
                    const bool due = m.told != m.confirmed;  // a change due is told against the new line
                    m.confirmed = line(m.confirmed, m.players);
                    m.seen = line(m.seen, m.count);
                    if (m.seen == m.confirmed && onLine(m.seen)) m.players = m.count;
                    if (!due && onLine(m.told) && onLine(m.confirmed)) m.told = m.confirmed, m.toldCount = m.players;
                    else m.told = line(m.told, m.toldCount);
                }
                m.run = state == m.seen ? m.run + 1 : 1;
                m.seen = state;
                if (count != -2) m.count = count;
                if (state != m.confirmed && m.run >= 2) ++m.changes, m.changed.push_back(r.now);
                if (state == m.confirmed || m.run >= 2) m.confirmed = state, m.players = count;
            }
            ObserveReport(r.state, r.settings, servers, r.now);
            AlertNotice notice;
            const bool shown = DueNotice(r.state, r.settings, r.now, AlertWay::Balloon, notice) && !refuse;
            if (shown) MarkNoticeTold(r.state, notice, "12:34");
            auto recently = [&](const std::vector<uint32_t>& clocks) {
                return std::count_if(clocks.begin(), clocks.end(), [&](uint32_t t) { return r.now - t <= 600000; });
            };
            const bool available = !refuse && r.now >= pausedUntil;
            for (auto& [name, m] : models) {
                const AlertChange* told = nullptr;
                for (const AlertChange& change : notice.Changes) if (shown && change.Server == name) told = &change;
                const auto recent = recently(named[name]);
                const bool quiet = m.flapped && (recently({named[name].back()}) || recently(m.changed));
                const std::string at = std::to_string(sequence) + "/" + std::to_string(report) + " " + name;
                if (!told) {
                    EXPECT_FALSE(available && m.confirmed != m.told && m.seen == m.confirmed && recent < 2 && !quiet)
                        << at << ": a change that counts was not told";
                    continue;
                }
                ASSERT_LT(recent, 2) << at << ": a third balloon in ten minutes";
                ASSERT_FALSE(quiet) << at << ": named again while it kept changing";
                named[name].push_back(r.now);
                m.flapped = told->Message == name + " keeps going up and down";
                EXPECT_TRUE(!m.flapped || (m.changes >= 2 && recently(m.changed) >= 2)) << at << ": said to keep changing";
                m.changes = 0;
                if (m.flapped) { m.told = FLAPPING; continue; }
                ASSERT_TRUE(m.seen == m.confirmed && m.confirmed != m.told && static_cast<int>(told->State) - 1 == m.confirmed) << at << ": " << told->Message;
                if (m.confirmed == UP || m.confirmed == FEWER) {
                    EXPECT_TRUE(told->Players == m.count && told->Minimum == m.minimum) << at;
                }
                m.told = m.confirmed, m.toldCount = m.count;
            }
        }
    }
}
