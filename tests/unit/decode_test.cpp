// Tests of the status decoder: the report text, the server list, the totals and every error.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "status/decode.h"
#include "status/protocol.h"
#include "tests/unit/answers.h"

namespace {
struct Decoder {
    DecodeResults results;
    unsigned char names[NAMES_BUFFER_SIZE] = {};
    unsigned char status[STATUS_BUFFER_SIZE] = {};
    char report[REPORT_TEXT_SIZE] = {};
    uint32_t namesLength = 0, statusLength = 0;
    bool decoded = false;

    void Hold(const Bytes& n, const Bytes& s) {
        std::memcpy(names, n.data(), n.size());
        namesLength = static_cast<uint32_t>(n.size());
        std::memcpy(status, s.data(), s.size());
        statusLength = static_cast<uint32_t>(s.size());
    }
    std::string Decode(const std::string& primary = "") {
        decoded = DecodeStatus(results, primary, report, names, namesLength, status, statusLength);
        return report;
    }
    bool NamesHeld() const { return names[0] != 0; }
};

const char* const WORKED_REPORT =
    "Servers\tPlayers\tZones\n"
    "Alpha\t1234\tNA\n"
    "Beta\t123\t10\n"
    "Gamma\tDOWN\t7\n"
    "1357 Players on EverQuest";
}  // namespace

TEST(Decode, WorkedExample) {
    Decoder d;
    d.Hold(WorkedNames(), WorkedStatus());
    const std::string text = d.Decode("Beta");
    EXPECT_EQ(text, WORKED_REPORT);
    EXPECT_EQ(text.size(), 86u);
    ASSERT_EQ(d.results.ServerList.size(), 3u);
    const ServerEntry expected[] = {{"Alpha", 1234, -1}, {"Beta", 123, 10}, {"Gamma", -1, 7}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(d.results.ServerList[i].Name, expected[i].Name);
        EXPECT_EQ(d.results.ServerList[i].Players, expected[i].Players);
        EXPECT_EQ(d.results.ServerList[i].Zones, expected[i].Zones);
    }
    EXPECT_EQ(d.results.TotalPlayers, 1357);
    EXPECT_EQ(d.results.PrimaryPlayers, 123);
    EXPECT_TRUE(d.NamesHeld() && d.decoded);
}

TEST(Decode, PrimaryPlayersFollowsAnExactMatchOnly) {
    struct Case { const char* primary; int32_t expected; };
    const Case cases[] = {{"Beta", 123}, {"Gamma", -1}, {"Alpha", 1234}, {"beta", 55}, {"", 55}, {"Bet", 55}};
    for (const Case& c : cases) {
        Decoder d;
        d.results.PrimaryPlayers = 55;
        d.Hold(WorkedNames(), WorkedStatus());
        d.Decode(c.primary);
        EXPECT_EQ(d.results.PrimaryPlayers, c.expected) << c.primary;
        EXPECT_EQ(d.results.PrimaryListed, c.expected != 55) << c.primary;
    }
    Decoder twice;  // a name listed twice counts by its first entry
    twice.Hold(NamesAnswer({"Beta", "Beta"}), StatusAnswer({5}, {{7, 1}}));
    twice.Decode("Beta");
    EXPECT_EQ(twice.results.PrimaryPlayers, 5);
    twice.Hold(NamesAnswer({"", "Beta"}), StatusAnswer({6}, {{7, 1}}));
    twice.Decode("");
    EXPECT_FALSE(twice.results.PrimaryListed);  // no primary server is not the one without a name
}

TEST(Decode, ChecksRunInOrderAndBlameTheRightAnswer) {
    struct Case {
        const char* what;
        Bytes names, status;
        const char* message;
        bool namesKept;
    };
    const Bytes six = {0xFF, 0xFF, 0x01, 0x00, 0x01, 0x00};
    const Bytes nineStatus = {0xFF, 0xFF, 0x05, 0x00, 0x01, 0x00, 0x05, 0x00, 0x00};
    const Bytes tenStatus = {0xFF, 0xFF, 0x05, 0x00, 0x01, 0x00, 0x05, 0x00, 0x00, 0x00};
    const Case cases[] = {
        {"short status hides short names", six, nineStatus, "Bad server status response- resubmitting...", true},
        {"short names", six, tenStatus, "Bad server name response- resubmitting...", false},
        {"count 3 against 1 + 1", NamesAnswer({"A", "B", "C"}), StatusAnswer({5}, {{6, 1}}),
         "Server number mismatch- resubmitting...", false},
        {"0x90 is -112, not 144", NamesAnswer({"A"}, 0x90), [] {
             Bytes s(6 + 2 * 0x48 + 4 * 0x48, 0);
             s[0] = 0xFF; s[1] = 0xFF; s[2] = 0x05; s[4] = 0x48; s[7] = 0x48;
             return s;
         }(), "Server number mismatch- resubmitting...", false},
        {"negative group count", NamesAnswer({"A", "B"}, 3), [] {
             Bytes s = StatusAnswer({5}, {{6, 1}, {7, 1}});
             s[4] = 0xFF;  // N1 = -1, N2 = 4 would pass the sum check
             s[7] = 0x04;
             return s;
         }(), "Server number mismatch- resubmitting...", false},
        {"extra name", NamesAnswer({"Alpha", "Beta", "Gamma"}, 2), StatusAnswer({10}, {{20, 3}}),
         "Error- extra world server data", false},
        {"extra NUL is an extra empty name", [] {
             Bytes n = WorkedNames();
             n.push_back(0);
             return n;
         }(), WorkedStatus(), "Error- extra world server data", false},
    };
    for (const Case& c : cases) {
        Decoder d;
        d.Hold(c.names, c.status);
        EXPECT_EQ(d.Decode(), c.message) << c.what;
        EXPECT_EQ(d.NamesHeld(), c.namesKept) << c.what;
        EXPECT_FALSE(d.decoded) << c.what;
    }
}

TEST(Decode, EarlyErrorsKeepThePreviousResults) {
    Decoder d;
    d.Hold(WorkedNames(), WorkedStatus());
    d.Decode("Alpha");
    d.Hold(NamesAnswer({"A", "B", "C"}), StatusAnswer({5}, {{6, 1}}));
    EXPECT_EQ(d.Decode("Alpha"), "Server number mismatch- resubmitting...");
    EXPECT_EQ(d.results.ServerList.size(), 3u);
    EXPECT_EQ(d.results.TotalPlayers, 1357);
    EXPECT_EQ(d.results.PrimaryPlayers, 1234);
}

TEST(Decode, ExtraNamesLeaveTheSumSoFarAndAnEmptyList) {
    Decoder d;
    d.Hold(NamesAnswer({"Alpha", "Beta", "Gamma"}, 2), StatusAnswer({10}, {{20, 3}}));
    d.Decode("Beta");
    EXPECT_TRUE(d.results.ServerList.empty());
    EXPECT_EQ(d.results.TotalPlayers, 30);
    EXPECT_EQ(d.results.PrimaryPlayers, 20);
}

TEST(Decode, NameWalkEdgeCases) {
    struct Case {
        const char* what;
        Bytes names, status;
        std::string report;
        size_t entries;
    };
    Bytes cut = WorkedNames();
    cut.resize(20);  // ... Beta NUL G a m
    const Case cases[] = {
        {"empty name starts with the tab", NamesAnswer({"Alpha", ""}), StatusAnswer({1}, {{2, 3}}),
         "Servers\tPlayers\tZones\nAlpha\t1\tNA\n\t2\t3\n3 Players on EverQuest", 2},
        {"control bytes in a name cannot draw a line", NamesAnswer({"T\tN\nLuclin\t9\t41\r\x1f\x7f", "\x80\x01"}), StatusAnswer({1}, {{2, 3}}),
         "Servers\tPlayers\tZones\nT N Luclin 9 41   \t1\tNA\n\x80 \t2\t3\n3 Players on EverQuest", 2},
        {"unterminated last name stands before the total", cut, WorkedStatus(),
         "Servers\tPlayers\tZones\nAlpha\t1234\tNA\nBeta\t123\t10\nGam1357 Players on EverQuest", 2},
        {"fewer names than records", NamesAnswer({"Alpha"}, 3), WorkedStatus(),
         "Servers\tPlayers\tZones\nAlpha\t1234\tNA\n1234 Players on EverQuest", 1},
        {"first group DOWN and 65534", NamesAnswer({"A", "B"}), StatusAnswer({0xFFFF}, {{0xFFFE, 1}}),
         "Servers\tPlayers\tZones\nA\tDOWN\tNA\nB\t65534\t1\n65534 Players on EverQuest", 2},
        {"zone byte is signed", NamesAnswer({"A", "B"}), StatusAnswer({0}, {{5, 0xC8}}),
         "Servers\tPlayers\tZones\nA\t0\tNA\nB\t5\t-56\n5 Players on EverQuest", 2},
        {"all down", NamesAnswer({"A", "B"}), StatusAnswer({0xFFFF}, {{0xFFFF, 0x80}}),
         "Servers\tPlayers\tZones\nA\tDOWN\tNA\nB\tDOWN\t-128\n0 Players on EverQuest", 2},
        {"no name closed at all", Bytes{0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 'x'}, [] {
             Bytes s = StatusAnswer({}, {});
             s.resize(10);
             return s;
         }(), "Servers\tPlayers\tZones\nx0 Players on EverQuest", 0},
    };
    for (const Case& c : cases) {
        Decoder d;
        d.Hold(c.names, c.status);
        EXPECT_EQ(d.Decode(), c.report) << c.what;
        EXPECT_EQ(d.results.ServerList.size(), c.entries) << c.what;
        EXPECT_TRUE(d.NamesHeld()) << c.what;
    }
}

TEST(Decode, DownServerKeepsItsZonesAndFirstGroupHasNone) {
    Decoder d;
    d.Hold(NamesAnswer({"A", "B"}), StatusAnswer({0xFFFF}, {{0xFFFF, 9}}));
    d.Decode();
    EXPECT_EQ(d.results.ServerList[0].Players, -1);
    EXPECT_EQ(d.results.ServerList[0].Zones, -1);
    EXPECT_EQ(d.results.ServerList[1].Players, -1);
    EXPECT_EQ(d.results.ServerList[1].Zones, 9);
}

TEST(Decode, RecordsBeyondTheStatusLengthAreNotRead) {
    Decoder d;
    // An earlier, longer status answer leaves a tail that must not pass for a record.
    d.Hold(WorkedNames(), StatusAnswer({1}, {{2, 3}, {4, 5}, {6, 7}}));
    Bytes shortStatus = WorkedStatus();
    shortStatus.resize(12);  // second group's first record only
    std::memcpy(d.status, shortStatus.data(), shortStatus.size());
    d.statusLength = 12;
    EXPECT_EQ(d.Decode("Beta"), "Bad server status response- resubmitting...");
    EXPECT_TRUE(d.NamesHeld());
    EXPECT_TRUE(d.results.ServerList.empty());
    EXPECT_EQ(d.results.TotalPlayers, 1234 + 123);
    EXPECT_EQ(d.results.PrimaryPlayers, 123);
    d.results.PrimaryListed = true;  // as the last good decode left it: a failed one says nothing new
    d.Decode("Gamma");
    EXPECT_TRUE(d.results.PrimaryListed);
}

TEST(Decode, GroupsWithOtherFirstCountsUseTheStatedPositions) {
    Decoder d;
    // N1 = 0: the second group's first record starts at byte 6 and covers byte 7 (N2) itself.
    Bytes status = {0xFF, 0xFF, 0x05, 0x00, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00};
    d.Hold(NamesAnswer({"Solo"}), status);
    EXPECT_EQ(d.Decode(), "Servers\tPlayers\tZones\nSolo\t257\t0\n257 Players on EverQuest");
}

TEST(Decode, RepeatedDecodesGiveTheSameTextAndList) {
    Decoder d;
    d.Hold(WorkedNames(), WorkedStatus());
    const std::string first = d.Decode();
    EXPECT_EQ(d.Decode(), first);
    EXPECT_EQ(d.results.ServerList.size(), 3u);
    Bytes status = StatusAnswer({42}, {});
    status.resize(10);
    d.Hold(NamesAnswer({"Solo"}, 1), status);
    d.Decode();
    ASSERT_EQ(d.results.ServerList.size(), 1u);
    EXPECT_EQ(d.results.ServerList[0].Name, "Solo");
}

TEST(Decode, LongNamesAndMaximalAnswersStayInsideTheReport) {
    Decoder d;
    d.Hold(LargestNames(), LargestStatus());
    const std::string text = d.Decode();
    EXPECT_EQ(d.results.ServerList.size(), 127u);
    EXPECT_LT(text.size(), 5538u);
    EXPECT_NE(text.find(" Players on EverQuest"), std::string::npos);

    // Lengths claimed beyond the buffers are clamped to the buffers themselves.
    Decoder big;
    big.Hold(LargestNames(), LargestStatus());
    big.namesLength = 0xFFFFFFFFu;
    big.statusLength = 0xFFFFFFFFu;
    big.Decode();
    EXPECT_LT(std::strlen(big.report), REPORT_TEXT_SIZE);
}
