// Tests of the servers' display order and of the report text in that order.
#include <gtest/gtest.h>

#include "settings/settings.h"
#include "status/order.h"

namespace {
const std::vector<ServerEntry> SERVERS = {{"beta", 5, 0},   {"Alpha", -1, 0}, {"alpha", 5, 0},
                                          {"_x", 7, 0},     {"Zed", 0, 0},    {"\xC9t", 5, 0},
                                          {"Alph", -1, 0}};
const char* const REPORT = "Servers\tPlayers\tZones\nAlpha\t1234\tNA\nBeta\t123\t10\nGam1357 Players on EverQuest";
const std::vector<ServerEntry> REPORTED = {{"Alpha", 1234, -1}, {"Beta", 123, 10}};
}  // namespace

TEST(Order, ServerDisplayOrder) {
    struct Case {
        int32_t sortOrder;
        std::vector<size_t> expected;
    };
    const Case cases[] = {
        {SORT_NONE, {0, 1, 2, 3, 4, 5, 6}},
        {SORT_BY_NAME, {3, 6, 1, 2, 0, 4, 5}},  // '_' before letters, then A to Z, ties stay, bytes above 127 last
        {SORT_BY_PLAYERS, {3, 2, 0, 5, 4, 6, 1}},
        {9, {0, 1, 2, 3, 4, 5, 6}},
    };
    std::vector<size_t> order;
    for (const Case& c : cases) {
        ServerDisplayOrder(SERVERS, c.sortOrder, order);
        EXPECT_EQ(order, c.expected) << c.sortOrder;
    }
}

TEST(Order, ReportLinesFollowTheOrder) {
    std::string out;
    ASSERT_TRUE(ReorderReportLines(REPORT, REPORTED, {1, 0}, out));
    EXPECT_EQ(out, "Servers\tPlayers\tZones\nBeta\t123\t10\nAlpha\t1234\tNA\nGam1357 Players on EverQuest");

    struct Case {
        const char* what;
        const char* text;
        std::vector<ServerEntry> servers;
        std::vector<size_t> order;
    };
    const Case mismatches[] = {
        {"decoder message", "Server number mismatch- resubmitting...", {}, {}},
        {"more servers than lines", REPORT, {REPORTED[0], REPORTED[1], {"Gam", 1, 1}}, {0, 1, 2}},
        {"fewer servers than lines", "Servers\nA\t1\tNA\nB\t2\tNA\n3 Players", {{"A", 1, -1}}, {0}},
        {"other names", REPORT, {{"Alpha", 1, 1}, {"Bet", 1, 1}}, {0, 1}},
        {"a name holding a tab", "Servers\nA\tB\t1\tNA\n1 Players", {{"A\tB", 1, -1}}, {0}},
        {"a name holding a line feed", "Servers\nA\nB\t1\tNA\n1 Players", {{"A\nB", 1, -1}}, {0}},
        {"an order repeating a line", REPORT, REPORTED, {1, 1}},
        {"an order too short", REPORT, REPORTED, {1}},
    };
    for (const Case& c : mismatches) {
        EXPECT_FALSE(ReorderReportLines(c.text, c.servers, c.order, out)) << c.what;
        EXPECT_EQ(out, c.text) << c.what;
    }
}
