// Tests of the poll cycle driven by a fake clock, timer and service.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "status/poll.h"
#include "status/text.h"
#include "tests/unit/answers.h"

namespace {
struct Sent {
    uint32_t at;
    unsigned char code;  // third byte: 1 names, 5 status, 9 banner
};

// The program around the cycle: a clock, one timer, the tray and a service that may answer.
struct World {
    unsigned char names[NAMES_BUFFER_SIZE] = {};
    unsigned char status[STATUS_BUFFER_SIZE] = {};
    char banner[BANNER_BUFFER_SIZE] = {};
    char report[REPORT_TEXT_SIZE] = {};
    StatusClient client;
    Settings settings;

    uint32_t now = 5000;
    uint32_t clockShift = 0;  // minutes the system's clock is set ahead
    int selectError = 0;
    StatusLink link = StatusLink::Ready;  // what looking the host up gives
    int opens = 0;
    std::string fatal;
    std::vector<Sent> sent;
    std::vector<Bytes> pending;  // answers that arrive shortly after a tick
    TrayIcon icon = TrayIcon::Neutral;
    std::string tip, rendered;
    bool renderedReport = false;
    std::vector<std::string> notices;
    std::vector<size_t> delivered;  // the changes of each notice handed on after it was shown
    int32_t trayPlayers = 0;
    bool busy = false, refuse = false;
    unsigned armedEvent = 0, kills = 0, timerFails = 0;
    uint32_t armedInterval = 0;
    std::function<void(World&, unsigned char)> service;

    World() {
        client.Buffers = StatusBuffers{names, 0, status, 0, banner, 0};
        client.ReportText = report;
        SetDefaultSettings(settings);
    }

    PollHost Host() {
        return PollHost{this,
                        [](void* c, unsigned) { ++Of(c).kills; },
                        [](void* c, std::string& host) {
                            host = "status.example";
                            ++Of(c).opens;
                            return Of(c).link;
                        },
                        [](void* c) { return Of(c).selectError; },
                        [](void* c, const char* text) { Of(c).fatal = text; },
                        [](void* c) { return Of(c).now; },
                        [](void* c) { return 29000000 + Of(c).now / 60000 + Of(c).clockShift; },
                        [](void* c, const unsigned char* code) {
                            World& w = Of(c);
                            w.sent.push_back({w.now, code[2]});
                            if (w.service) w.service(w, code[2]);
                        },
                        [](void* c, TrayIcon icon, const char* tip, int32_t players) {
                            Of(c).icon = icon;
                            Of(c).tip = tip;
                            Of(c).trayPlayers = players;
                        },
                        [](void* c) { return Of(c).busy; },
                        [](void* c, const AlertNotice& notice) {
                            if (!Of(c).refuse) Of(c).notices.push_back(notice.Text);
                            return !Of(c).refuse;
                        },
                        [](void* c, const AlertNotice& notice) { Of(c).delivered.push_back(notice.Changes.size()); },
                        [](void*, char* hhmm) { std::strcpy(hhmm, "21:05"); },
                        [](void* c, const char* text, bool report) { Of(c).rendered = text, Of(c).renderedReport = report; },
                        [](void* c, unsigned event, uint32_t interval) -> unsigned {
                            World& w = Of(c);
                            if (w.timerFails) return 0;
                            w.armedEvent = event;
                            w.armedInterval = interval;
                            return event;
                        }};
    }
    static World& Of(void* c) { return *static_cast<World*>(c); }

    void Tick(unsigned id) {
        const PollHost host = Host();
        PollTick(client, settings, host, id);
        for (const Bytes& answer : pending) DispatchDatagram(client.Buffers, answer.data(), answer.size(), now + 20);
        pending.clear();
    }
    void First() { Tick(0); }
    // Lets the armed timer fire until `end` (ms on the clock).
    void RunUntil(uint32_t end) {
        while (client.PollTimerId != 0 && now + armedInterval <= end) {
            now += armedInterval;
            Tick(client.PollTimerId);
        }
    }
};

void AnswerEverything(World& w, unsigned char code) {
    if (code == 1) w.pending.push_back(WorkedNames());
    if (code == 5) w.pending.push_back(WorkedStatus());
}
}  // namespace

TEST(PollInterval, BackOffThresholds) {
    uint32_t failures = 0;
    std::vector<uint32_t> intervals;
    for (int k = 1; k <= 60; ++k) intervals.push_back(NextPollInterval(failures));
    for (int k = 1; k <= 60; ++k) {
        const uint32_t expected = k <= 9 ? 1000 : k <= 19 ? 5000 : k <= 56 ? 15000 : 60000;
        EXPECT_EQ(intervals[k - 1], expected) << k;
    }
    EXPECT_EQ(failures, 56u);
    failures = 0xFFFFFFFFu;
    EXPECT_EQ(NextPollInterval(failures), 60000u);
    EXPECT_EQ(failures, 0xFFFFFFFFu);
}

TEST(PollStaleness, EdgeAndWrap) {
    struct Case { uint32_t now, last; bool stale; };
    const Case cases[] = {
        {179999, 0, false}, {180000, 0, true}, {0, 180000, true}, {0, 179999, false},
        {999, 0xFFFFFC18u, false},               // 1000 ms before and after the wrap: 2000 ms
        {179000, 0xFFFFFC18u, true},             // 180000 across the wrap
        {0x80000000u, 0, true},                  // the one difference with no positive twin
    };
    for (const Case& c : cases) EXPECT_EQ(StatusIsStale(c.now, c.last), c.stale) << c.now << " " << c.last;
}

TEST(PollTip, IconAndTextTable) {
    struct Case {
        const char* primary;
        int32_t primaryPlayers, minPlayers;
        TrayIcon icon;
        const char* tip;
        bool listed = true;
    };
    const Case cases[] = {
        {"", 900, 3, TrayIcon::Neutral, "1357 Players on EverQuest"},
        {"Gamma", -1, 0, TrayIcon::Down, "Gamma is DOWN,\r\n1357 Players on EverQuest"},
        {"Beta", 0, 0, TrayIcon::Up, "0 Players on Beta,\r\n1357 Players on EverQuest"},
        {"Beta", 2, 3, TrayIcon::Down, "Beta has 2 players, fewer than 3,\r\n1357 Players on EverQuest"},
        {"Beta", 1, 60, TrayIcon::Down, "Beta has 1 player, fewer than 60,\r\n1357 Players on EverQuest"},
        {"Own", 0, 3, TrayIcon::Down, "Own has 0 players, fewer than 50,\r\n1357 Players on EverQuest"},
        {"Beta", -1, 60, TrayIcon::Down, "Beta is DOWN,\r\n1357 Players on EverQuest"},
        {"Beta", 3, 3, TrayIcon::Up, "3 Players on Beta,\r\n1357 Players on EverQuest"},
        {"Beta", 900, 3, TrayIcon::Down, "Beta is not listed,\r\n1357 Players on EverQuest", false},
        {"Abcdefghijklmnopqrstuvwxyz", 9, 3, TrayIcon::Down,
         "Abcdefghijklmnopqr... is not listed,\r\n1357 Players on EverQuest", false},
    };
    for (const Case& c : cases) {
        Settings s;
        SetDefaultSettings(s);
        s.PrimaryServer = c.primary;
        s.MinPlayers = c.minPlayers;
        SetServerMinimum(s, "Own", 50);
        DecodeResults decode;
        decode.PrimaryPlayers = c.primaryPlayers;
        decode.PrimaryListed = c.listed;
        decode.TotalPlayers = 1357;
        char tip[128];
        EXPECT_EQ(ComposeTrayTip(s, decode, tip, sizeof tip), c.icon) << c.primary;
        EXPECT_TRUE(c.listed || TrayPlayers(c.icon, decode) == -1) << "an old count on the icon of " << c.primary;
        EXPECT_STREQ(tip, c.tip);
    }
}

TEST(PollTip, NamesAreCutBetweenCharacters) {
    // A double-byte code page, where a byte from 0x81 leads a character of two bytes.
    const auto kept = NextCharacter;
    NextCharacter = [](const char* p) -> const char* { return *p ? p + (static_cast<unsigned char>(*p) >= 0x81 ? 2 : 1) : p; };
    const std::string name = "ab\x82\xA0\x82\xA2" "cd";
    EXPECT_EQ(Shortened(name, 6), "ab...");
    EXPECT_EQ(Shortened(name, 8), name);
    EXPECT_EQ(CharactersWithin(name, 5), 4u);
    EXPECT_EQ(CharactersWithin("a\x82", 1), 1u);
    EXPECT_EQ(CharactersWithin(std::string("a\0b\0c", 5), 4), 4u);  // a zero byte steps nowhere: one byte
    NextCharacter = kept;
    EXPECT_EQ(Shortened(name, 6), "ab\x82...");
}

TEST(PollCycle, SilentServiceBacksOffToTheSixtySecondBand) {
    World w;
    const uint32_t start = w.now;
    w.First();
    w.RunUntil(start + 800000);
    std::vector<uint32_t> expected;
    for (uint32_t t = 0; t <= 9000; t += 1000) expected.push_back(t);
    for (uint32_t t = 14000; t <= 59000; t += 5000) expected.push_back(t);
    for (uint32_t t = 74000; t <= 614000; t += 15000) expected.push_back(t);
    for (uint32_t t = 674000; t <= 800000; t += 60000) expected.push_back(t);
    ASSERT_EQ(w.sent.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(w.sent[i].at - start, expected[i]) << i;
        EXPECT_EQ(w.sent[i].code, 1);
    }
    EXPECT_EQ(w.client.PollFailures, 56u);
    EXPECT_EQ(w.rendered, "Waiting for server names...");
    EXPECT_FALSE(w.renderedReport);
    EXPECT_EQ(w.tip, "Waiting for server names...");
    EXPECT_EQ(w.icon, TrayIcon::Neutral);
}

TEST(PollCycle, NormalStartThenEveryFifteenSeconds) {
    World w;
    w.service = AnswerEverything;
    w.settings.PrimaryServer = "Beta";
    const uint32_t start = w.now;
    w.First();
    w.RunUntil(start + 47000);
    const std::vector<std::pair<uint32_t, unsigned char>> expected = {
        {0, 1}, {1000, 5}, {2000, 5}, {17000, 5}, {32000, 5}, {47000, 5}};
    ASSERT_EQ(w.sent.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(w.sent[i].at - start, expected[i].first);
        EXPECT_EQ(w.sent[i].code, expected[i].second);
    }
    EXPECT_EQ(w.client.PollFailures, 0u);
    EXPECT_EQ(w.rendered.substr(0, 8), "Servers\t");
    EXPECT_EQ(w.tip, "123 Players on Beta,\r\n1357 Players on EverQuest");
    EXPECT_EQ(w.icon, TrayIcon::Up);
    EXPECT_EQ(w.trayPlayers, 123);
    EXPECT_EQ(w.kills, 5u);  // every armed timer is killed by its own tick
    World clockless;  // a host that gives no minute (the exporter) keeps no history
    clockless.service = AnswerEverything, clockless.clockShift = 0 - (29000000 + clockless.now / 60000);
    clockless.First(), clockless.RunUntil(clockless.now + 47000);
    EXPECT_TRUE(clockless.client.Counts.Servers.empty() && !w.client.Counts.Servers.empty());
}

TEST(PollCycle, StatusMissingContinuesTheCount) {
    World w;
    w.service = [](World& world, unsigned char code) {
        if (code == 1) world.pending.push_back(WorkedNames());
    };
    w.First();
    w.Tick(w.client.PollTimerId);
    EXPECT_EQ(w.client.PollFailures, 2u);
    EXPECT_EQ(w.rendered, "Waiting for server status...");
}

TEST(PollCycle, HeldReportGoesStaleAtTheLimit) {
    World w;
    bool answering = true;
    w.service = [&answering](World& world, unsigned char code) {
        if (answering) AnswerEverything(world, code);
    };
    w.First();
    w.RunUntil(w.now + 2000);  // reporting now
    answering = false;
    const uint32_t lastReceive = w.client.Buffers.LastStatusTick;

    w.now = lastReceive + 179999;
    w.Tick(1);
    EXPECT_EQ(w.rendered.substr(0, 8), "Servers\t");  // 179999 ms: still reporting
    w.now = lastReceive + 180000;
    w.Tick(1);
    EXPECT_EQ(w.rendered, "Waiting for server status...");
    EXPECT_EQ(w.sent.back().code, 5);
    EXPECT_EQ(w.armedInterval, 1000u);
    EXPECT_EQ(w.client.PollFailures, 1u);
    EXPECT_NE(w.client.Buffers.NamesBuffer[0], 0);  // names are never dropped for staleness
}

// A host that cannot be found is looked up again with the back-off and asked nothing meanwhile; one
// that answers once found is reported; a report gone stale looks the host up afresh.
TEST(PollCycle, AHostNotFoundIsLookedUpAgainUntilItIs) {
    for (const StatusLink missing : {StatusLink::NotFound, StatusLink::NoHost}) {
        World w;
        w.link = missing;
        w.service = AnswerEverything;
        const uint32_t start = w.now;
        w.First();
        w.RunUntil(start + 74000);
        EXPECT_TRUE(w.sent.empty());
        EXPECT_EQ(w.opens, 21);  // nine ticks a second apart, ten five apart, two fifteen apart
        EXPECT_EQ(w.rendered, missing == StatusLink::NoHost
                                  ? "No status service is set: right-click the tray icon, Options, Service..."
                                  : "Cannot find the status service at status.example, trying again...");
        EXPECT_EQ(w.tip, w.rendered);
        EXPECT_TRUE(w.client.FirstPoll);  // read notifications wait for a socket that is connected
        w.link = StatusLink::Ready;
        w.RunUntil(w.now + 15000 + 2000);
        EXPECT_EQ(w.rendered.substr(0, 8), "Servers\t");
        EXPECT_FALSE(w.client.FirstPoll);
        w.service = nullptr;
        w.RunUntil(w.now + 200000);
        EXPECT_EQ(w.opens, 23);  // and once more when the report went stale
    }
}

// Naming another host forgets both answers; the next tick asks the new one for its names.
TEST(PollCycle, AnotherHostStartsAfresh) {
    World w;
    w.service = AnswerEverything;
    w.First();
    w.RunUntil(w.now + 2000);
    ForgetStatusLink(w.client, w.now);
    w.client.PollTimerId = 0;
    w.First();
    EXPECT_EQ(w.opens, 2);
    EXPECT_EQ(w.sent.back().code, 1);
    EXPECT_EQ(w.rendered, "Waiting for server names...");
    w.Tick(w.client.PollTimerId);  // the old host's counts are not shown under the new host's names
    EXPECT_EQ(w.rendered, "Waiting for server status...");
}

TEST(PollCycle, StaleRuleAcrossTheTickCountWrap) {
    World w;
    w.now = 0xFFFFFFFFu - 500;
    w.service = AnswerEverything;
    w.First();
    w.RunUntil(w.now + 2000);
    EXPECT_EQ(w.rendered.substr(0, 8), "Servers\t");
    w.service = nullptr;
    w.RunUntil(w.now + 30000);  // past the wrap, far from the limit
    EXPECT_EQ(w.rendered.substr(0, 8), "Servers\t");
}

TEST(PollCycle, DecodeErrorsStillCountAsReporting) {
    World w;
    w.service = [](World& world, unsigned char code) {
        if (code == 1) world.pending.push_back(NamesAnswer({"A", "B", "C"}));  // three names against 1 + 1 records
        if (code == 5) world.pending.push_back(StatusAnswer({5}, {{6, 1}}));
    };
    w.First();
    w.Tick(1);
    w.Tick(1);  // reporting tick: mismatch, names marked empty
    EXPECT_EQ(w.rendered, "Server number mismatch- resubmitting...");
    EXPECT_EQ(w.armedInterval, REPORTING_INTERVAL);
    EXPECT_EQ(w.client.PollFailures, 0u);
    EXPECT_EQ(w.tip, "0 Players on EverQuest");
    w.Tick(1);
    EXPECT_EQ(w.sent.back().code, 1);  // names asked for again
}

TEST(PollCycle, ForeignTimerIdsChangeNothing) {
    World w;
    w.Tick(7);
    EXPECT_TRUE(w.client.FirstPoll);
    EXPECT_TRUE(w.sent.empty());
    w.First();
    const size_t sends = w.sent.size();
    w.Tick(0);  // a stray id 0 after the timer is armed
    w.Tick(2);
    EXPECT_EQ(w.sent.size(), sends);
    EXPECT_EQ(w.client.PollTimerId, 1u);
}

TEST(PollCycle, FailedSelectEndsTheCycle) {
    World w;
    w.selectError = 10038;
    w.First();
    EXPECT_EQ(w.fatal, "Fatal: Unable to select read notifications (errno: 10038)");
    EXPECT_TRUE(w.sent.empty());
    EXPECT_TRUE(w.rendered.empty());
    EXPECT_EQ(w.client.PollTimerId, 0u);
    EXPECT_FALSE(w.client.FirstPoll);
}

TEST(PollCycle, FailedSetTimerStopsTicking) {
    World w;
    w.timerFails = 1;
    w.First();
    EXPECT_EQ(w.client.PollTimerId, 0u);
    EXPECT_EQ(w.sent.size(), 1u);
}

TEST(PollCycle, OnlyNewAnswersConfirmAndABusyUserIsToldLater) {
    World w;
    Bytes status = WorkedStatus();  // Beta up with 123
    bool silent = false;
    w.service = [&](World& world, unsigned char code) {
        if (code == 1) world.pending.push_back(WorkedNames());
        if (code == 5 && !silent) world.pending.push_back(status);
    };
    w.settings.PrimaryServer = "Beta";
    w.First();
    w.RunUntil(w.now + 17000);
    // One odd answer, then silence: decoding it again is no second report.
    status = StatusAnswer({1234}, {{0xFFFF, 10}, {0xFFFF, 7}});
    w.RunUntil(w.now + 15000);
    silent = true;
    w.RunUntil(w.now + 60000);
    EXPECT_TRUE(w.notices.empty());
    EXPECT_EQ(w.icon, TrayIcon::Down);

    // It answers DOWN again: confirmed, but the user is busy, then the shell refuses once. The command
    // and webhook go at once all the same.
    silent = false;
    w.busy = true;
    w.RunUntil(w.now + 60000);
    EXPECT_TRUE(w.notices.empty());
    EXPECT_EQ(w.delivered, std::vector<size_t>{1});
    w.busy = false;
    w.refuse = true;
    w.RunUntil(w.now + 15000);
    w.refuse = false;
    w.RunUntil(w.now + 15000);
    EXPECT_EQ(w.notices, std::vector<std::string>{"Beta is DOWN"});
    EXPECT_EQ(w.delivered, std::vector<size_t>{1});  // handed on once
    EXPECT_EQ(w.trayPlayers, -1);
    EXPECT_EQ(w.client.Alerts.Recent, std::vector<std::string>{"21:05 Beta is DOWN"});
}

// The clock is wrong when the history is read at start, from the first report, or both, then set
// right: every sample of the week is there afterwards, also once the timer has trimmed the history.
TEST(PollCycle, NamesAgainHourlyAndAClockSetWrongCostsNoSample) {
    const struct { int64_t atLoad, atReports; uint32_t reports; } cases[] = {
        {-8 * 525600, 0, 0}, {-3 * 1440, 0, 0}, {3 * 1440, 0, 0}, {3 * 1440, 3 * 1440, 8}, {20160, 20160, 8}, {0, 1576800, 4}};
    for (const auto& c : cases) {
        World w;
        w.service = AnswerEverything;
        const uint32_t now = 29000000 + w.now / 60000;
        History file;
        for (uint32_t m = now - 6 * 1440; m < now - 60; m += 30) AddReport(file, m, {{"Beta", 77, 0}});
        Bytes bytes;
        SaveHistory(file, bytes);
        LoadHistory(w.client.Counts, bytes.data(), bytes.size(), static_cast<uint32_t>(now + c.atLoad));
        w.clockShift = static_cast<uint32_t>(c.atReports);
        w.First();
        w.RunUntil(w.now + 15000 * c.reports + 2000);
        w.clockShift = 0;
        w.RunUntil(w.now + 3600000);
        TrimHistory(w.client.Counts, w.client.Counts.Clock);
        const ServerHistory* beta = FindServerHistory(w.client.Counts, "Beta");
        ASSERT_NE(beta, nullptr) << c.atLoad;
        for (const uint32_t m : {now - 6 * 1440, now - 2 * 1440, 29000000 + w.now / 60000})
            EXPECT_EQ(SampleAt(*beta, m).Players, m < now ? 77 : 123) << c.atLoad << " " << c.atReports << " " << m - now;
        EXPECT_EQ(std::count_if(w.sent.begin(), w.sent.end(), [](const Sent& s) { return s.code == 1; }), 2);  // hourly
    }
}

// Seeded random runs (trimmed every ten minutes as the window does), the clock now and then wrong for up to five
// hours by 2 minutes to 2 years (60 exactly too), restarts (save, load) between any two reports, with or without
// time passing, the clock set back or right meanwhile by more than that time (less reads as time passing). Each
// report gives Beta a count of its true minute; none recorded under a right clock may read anything else.
TEST(PollCycle, NoMinuteRecordedUnderARightClockIsLost) {
    std::mt19937 random(20261210);
    const int64_t sizes[] = {2, 59, 60, 61, 1440, 3 * 1440, 8 * 1440, 2 * 525600};
    for (int run = 0; run < 30; ++run) {
        World w;
        w.service = [](World& world, unsigned char code) { if (code == 1) world.pending.push_back(WorkedNames()); };
        auto trueMinute = [&] { return 29000000 + w.now / 60000; };
        std::set<uint32_t> right;
        int64_t offset = 0;
        auto play = [&](uint32_t minutes, int64_t clock) {
            w.clockShift = static_cast<uint32_t>(offset = clock);
            for (const uint32_t end = w.now + minutes * 60000; w.client.PollTimerId != 0 && w.now + w.armedInterval <= end;) {
                w.now += w.armedInterval;  // the status arrives just before the tick that decodes it
                const Bytes status = StatusAnswer({1234}, {{static_cast<uint16_t>(1 + trueMinute() % 60000), 10}, {0xFFFF, 7}});
                DispatchDatagram(w.client.Buffers, status.data(), status.size(), w.now);
                const uint32_t answers = w.client.ObservedAnswers;
                w.Tick(w.client.PollTimerId);
                if (offset == 0 && w.client.ObservedAnswers != answers) right.insert(trueMinute());
                if (w.now / 600000 != (w.now - w.armedInterval) / 600000) TrimHistory(w.client.Counts, w.client.Counts.Clock);
            }
        };
        auto restart = [&](int64_t longestDowntime, int64_t clock) {
            Bytes dat, aside;
            SaveHistory(w.client.Counts, dat), SaveAside(w.client.Counts, aside);
            w.client = StatusClient{}, w.client.ReportText = w.report, w.names[0] = w.status[0] = 0;
            w.client.Buffers = StatusBuffers{w.names, 0, w.status, 0, w.banner, 0};
            w.now += 60000 * (random() % static_cast<uint32_t>(longestDowntime > 1 ? std::min<int64_t>(120, longestDowntime - 1) : 120));
            w.clockShift = static_cast<uint32_t>(offset = clock);
            LoadHistory(w.client.Counts, dat.data(), dat.size(), static_cast<uint32_t>(trueMinute() + clock), aside.data(), aside.size());
            w.First();
        };
        w.First();
        for (int spell = 0; spell < 12; ++spell) {  // a right clock, then a wrong one; while closed, set back or right
            play(1 + random() % 120, 0);
            const int64_t wrong = (random() % 2 ? sizes[random() % 8] : 2 + random() % 3000) * (random() % 2 ? 1 : -1);
            const bool closed = wrong < 0 && random() % 3 == 0;  // set back while closed: then not kept wrong over a restart
            if (closed || random() % 4 == 0) restart(closed ? -wrong : 0, closed ? wrong : 0);
            play(1 + random() % 240, wrong);
            const int64_t other = wrong + sizes[random() % 8] * (random() % 2 ? 1 : -1);  // a minute off reads as right
            if (!closed && random() % 3 == 0 && std::abs(other) != 1) play(1 + random() % 60, other);
            if (random() % 3 == 0) !closed && random() % 2 ? restart(-offset, offset) : restart(offset, 0);
        }
        play(2, 0);
        const ServerHistory* beta = FindServerHistory(w.client.Counts, "Beta");
        ASSERT_TRUE(beta != nullptr && right.size() > 200) << run;
        for (const uint32_t minute : right)
            ASSERT_EQ(SampleAt(*beta, minute).Players + SampleAt(*beta, minute).Peak, 2 + 2 * (minute % 60000)) << run << ": " << trueMinute() - minute;
    }
}
