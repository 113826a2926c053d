// Tests of what a screen reader hears of the report and of the keyboard's line.
#include <gtest/gtest.h>

#include <random>

#include "app/accessible.h"

TEST(Spoken, SentencesAndLines) {
    const std::pair<ServerEntry, const char*> sentences[] = {
        {{"Beta", 123, 10}, "Beta, 123 players, 10 zones"}, {{"Vox", -1, 0}, "Vox, DOWN"}, {{"Test", 187, -1}, "Test, 187 players"},
        {{"One", 1, 1}, "One, 1 player, 1 zone"}, {{"A\tB\x1b\r\n\x7f\xC9", 0, -56}, "A B    \xC9, 0 players, -56 zones"}};
    for (const auto& c : sentences) EXPECT_EQ(ServerSentence(c.first), c.second);
    const char* const drawn = "Servers\tPlayers\tZones\nBeta\t1\t10\nAlpha\t5\tNA\nGam\x07" "6 Players";
    SpokenReport spoken;
    SpeakReport(drawn, true, {{"Alpha", 5, -1}, {"Beta", 1, 10}}, {1, 0}, spoken);
    EXPECT_EQ(spoken.Lines, (std::vector<std::string>{"Beta, 1 player, 10 zones", "Alpha, 5 players", "Gam 6 Players"}));
    EXPECT_EQ(spoken.ServerNames, (std::vector<std::string>{"Beta", "Alpha"}));
    EXPECT_EQ(spoken.FirstDrawnLine, 1);
    SpeakReport(drawn, true, {{"Alpha", 5, -1}}, {}, spoken);  // lines not placed: read as drawn
    EXPECT_EQ(spoken.Lines, (std::vector<std::string>{"Servers, Players, Zones", "Beta, 1, 10", "Alpha, 5, NA", "Gam 6 Players"}));
    EXPECT_TRUE(spoken.ServerNames.empty() && spoken.FirstDrawnLine == 0);
}

// Keys move the keyboard's line within the lines; reports of a few servers, some of one name, in any
// order, some gone, counts changed: it stays on its server (the nearest of that name), and a reader
// hears only of that line.
TEST(Spoken, TheSelectionFollowsItsServerAndOnlyItsLineIsAnnounced) {
    const struct { int row, count; LineMove move; int to; } moves[] = {{-1, 5, LineMove::Down, 0}, {0, 5, LineMove::Up, 0},
        {2, 5, LineMove::Up, 1}, {2, 5, LineMove::Down, 3}, {4, 5, LineMove::Down, 4}, {3, 5, LineMove::First, 0},
        {1, 5, LineMove::Last, 4}, {0, 0, LineMove::Last, -1}};
    for (const auto& m : moves) EXPECT_EQ(MoveSelection(m.row, m.count, m.move), m.to) << m.row << " " << m.count;
    std::mt19937 random(24);
    const char* const pool[] = {"Alpha", "Beta", "Gamma", "Delta"};
    auto report = [&](std::vector<ServerEntry> servers, bool fresh, SpokenReport& spoken) {
        if (fresh) servers.resize(random() % 7);
        for (ServerEntry& s : servers) s = {fresh ? pool[random() % 4] : s.Name, int32_t(random() % 3) - 1, 5};
        std::vector<size_t> rows(servers.size());
        for (size_t i = 0; i < rows.size(); ++i) rows[i] = i;
        SpeakReport("h\nt", true, servers, rows, spoken);
        return servers;
    };
    SpokenReport before, after, recounted;
    for (int round = 0; round < 3000; ++round) {
        const std::vector<ServerEntry> old = report({}, true, before), now = report({}, true, after);
        const int row = int(random() % 8) - 1, count = int(now.size()), was = row < int(old.size()) ? row : -1;
        const std::string server = was >= 0 ? old[was].Name : "";
        const int to = FollowSelection(after, server, was);
        for (int r = 0; r < count; ++r) EXPECT_TRUE(now[r].Name != server || std::abs(to - was) <= std::abs(r - was));
        const bool kept = std::any_of(now.begin(), now.end(), [&](const ServerEntry& s) { return s.Name == server; });
        EXPECT_TRUE(kept ? now[to].Name == server : to == (count == 0 ? -1 : was < 0 ? 0 : std::min(was, count - 1)));
        const ReportEvents moved = EventsForReport(before, was, after, to);
        EXPECT_EQ(moved.Reorder, before.ServerNames != after.ServerNames);
        EXPECT_EQ(moved.Focus, to >= 0 && (to != was || now[to].Name != server));
        // The same servers with other counts: news of the keyboard's line alone.
        const std::vector<ServerEntry> again = report(old, false, recounted);
        const ReportEvents events = EventsForReport(before, was, recounted, FollowSelection(recounted, server, was));
        EXPECT_FALSE(events.Reorder);
        EXPECT_EQ(events.Focus, was < 0 && !again.empty());  // the first line, where there was none
        EXPECT_EQ(events.NameChange, was >= 0 && old[was].Players != again[was].Players);
    }
}
