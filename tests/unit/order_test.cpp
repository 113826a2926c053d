// Tests of the servers' display order and of the report text in that order.
#include <gtest/gtest.h>

#include "status/order.h"

TEST(Order, ServersAndReportLines) {
    const std::vector<ServerEntry> servers = {{"beta", 5, 0}, {"Alpha", -1, 0}, {"alpha", 5, 0}, {"_x", 7, 0},
                                              {"Zed", 0, 0},  {"\xC9t", 5, 0},  {"Alph", -1, 0}};
    const std::pair<int32_t, std::vector<size_t>> cases[] = {
        {0, {0, 1, 2, 3, 4, 5, 6}},
        {1, {3, 6, 1, 2, 0, 4, 5}},  // '_' before letters, then A to Z, ties stay, bytes above 127 last
        {2, {3, 2, 0, 5, 4, 6, 1}},  // most first, ties by name, DOWN last
        {9, {0, 1, 2, 3, 4, 5, 6}},
    };
    std::vector<size_t> order;
    for (const auto& c : cases) {
        ServerDisplayOrder(servers, c.first, order);
        EXPECT_EQ(order, c.second) << c.first;
    }
    // The report's lines follow an order, or stay as they are when the text is not of the decoder's shape.
    const char* const report = "Servers\tPlayers\tZones\nAlpha\t1234\tNA\nBeta\t123\t10\nGam1357 Players on EverQuest";
    const std::vector<ServerEntry> reported = {{"Alpha", 1234, -1}, {"Beta", 123, 10}};
    std::string out;
    ASSERT_TRUE(ReorderReportLines(report, reported, {1, 0}, out));
    EXPECT_EQ(out, "Servers\tPlayers\tZones\nBeta\t123\t10\nAlpha\t1234\tNA\nGam1357 Players on EverQuest");
    ASSERT_TRUE(ReorderReportLines("S\nZ\t1\tNA\nA B \t2\tNA\n3", {{"Z", 1, -1}, {"A\tB\x7f", 2, -1}}, {1, 0}, out));
    EXPECT_EQ(out, "S\nA B \t2\tNA\nZ\t1\tNA\n3");  // a name's control bytes stand as spaces
    struct Case { const char* what; const char* text; std::vector<ServerEntry> servers; std::vector<size_t> order; };
    const Case mismatches[] = {
        {"decoder message", "Server number mismatch- resubmitting...", {}, {}},
        {"more servers than lines", report, {reported[0], reported[1], {"Gam", 1, 1}}, {0, 1, 2}},
        {"fewer servers than lines", "Servers\nA\t1\tNA\nB\t2\tNA\n3 Players", {{"A", 1, -1}}, {0}},
        {"other names", report, {{"Alpha", 1, 1}, {"Bota", 1, 1}}, {0, 1}},
        {"a name holding a tab", "Servers\nA\tB\t1\tNA\n1 Players", {{"A\tB", 1, -1}}, {0}},
        {"a name holding a line feed", "Servers\nA\nB\t1\tNA\n1 Players", {{"A\nB", 1, -1}}, {0}},
        {"an order repeating a line", report, reported, {1, 1}},
    };
    for (const Case& c : mismatches) {
        EXPECT_FALSE(ReorderReportLines(c.text, c.servers, c.order, out)) << c.what;
        EXPECT_EQ(out, c.text) << c.what;
    }
}
