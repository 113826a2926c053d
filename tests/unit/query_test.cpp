// Tests of the query tool's JSON and its checks of saved answers.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <ctime>

#include "status/protocol.h"
#include "query/query.h"

namespace {
const Answer NAMES = {0xFF, 0xFF, 0x01, 0x00, 0x02, 0x00, 'A', 'l', 'p', 'h', 'a', 0, 'C', 0xF6, 'r', 0};
const Answer STATUS = {0xFF, 0xFF, 0x05, 0x00, 0x01, 0x04, 0xD2, 0x01, 0xFF, 0xFF, 0x00, 0x07};
}  // namespace

TEST(Query, JsonCarriesTheDecodeWithLatin1Names) {
    const QueryResult result = DecodeAnswers(NAMES, STATUS, "Alpha");
    const auto doc = nlohmann::json::parse(QueryJson(result));
    EXPECT_EQ(doc["servers"][1]["name"], "C\xC3\xB6r");
    EXPECT_EQ(doc["servers"][1]["players"], -1);
    EXPECT_EQ(doc["servers"][1]["zones"], 7);
    EXPECT_EQ(doc["total_players"], 1234);
    EXPECT_EQ(doc["primary_players"], 1234);
    EXPECT_EQ(doc["names_rejected"], false);
    EXPECT_EQ(doc["report"], "Servers\tPlayers\tZones\nAlpha\t1234\tNA\nC\xC3\xB6r\tDOWN\t7\n1234 Players on EverQuest");
}

TEST(Query, RejectedNamesAreReported) {
    Answer names = NAMES;
    names[4] = 3;
    const QueryResult result = DecodeAnswers(names, STATUS, "");
    EXPECT_TRUE(result.ErrorReport);
    EXPECT_TRUE(result.NamesRejected);
    EXPECT_EQ(result.Report, "Server number mismatch- resubmitting...");
}

TEST(Query, AnswerChecks) {
    EXPECT_TRUE(IsAnswerOf(NAMES, REQ_NAMES));
    EXPECT_FALSE(IsAnswerOf(STATUS, REQ_NAMES));
    EXPECT_FALSE(IsAnswerOf(Answer{0xFF, 0xFF}, REQ_NAMES));
    Answer big(RECEIVE_SIZE + 1, 0);
    big[0] = 0xFF; big[1] = 0xFF; big[2] = 0x01;
    EXPECT_FALSE(IsAnswerOf(big, REQ_NAMES));
}

TEST(Query, HistoryRoundTripAsCsvAndSummaryInLocalTime) {
    const auto epochIn = [](const char* zone) { setenv("TZ", zone, 1); tzset(); return LocalTimeText(0); };
    EXPECT_EQ(epochIn("EST5"), "1969-12-31T19:00:00-05:00");
    EXPECT_EQ(epochIn("IST-5:30"), "1970-01-01T05:30:00+05:30");  // the zone of the samples below
    const uint32_t t = 29000158;  // 2025-02-20T05:28:00 here; the ring wraps after t + 1
    History h, loaded;
    AddReport(h, t + 2 - HISTORY_MINUTES, {{"Alpha", 500, -1}, {"Alpha", 1, -1}});  // leaves a rise code in the ring
    AddReport(h, t, {{"Alpha", 3000, -1}, {"B,\"e\"", -1, 2}});
    AddReport(h, t, {{"Alpha", 3, -1}, {"B,\"e\"", 9, 2}, {"B,\"e\"", -1, 2}});
    AddReport(h, t + 1, {{"B,\"e\"", -1, 2}});
    AddReport(h, t + 3, {{"Alpha", 7, -1}});
    std::vector<unsigned char> file;
    SaveHistory(h, file);
    ASSERT_EQ(LoadHistory(loaded, file.data(), file.size(), t + 10), HistoryLoad::Loaded);
    EXPECT_EQ(HistoryCsv(loaded, nullptr),
              "time,server,players,peak\n2025-02-20T05:28:00+05:30,Alpha,3,2901\n2025-02-20T05:31:00+05:30,Alpha,7,7\n"
              "2025-02-20T05:28:00+05:30,\"B,\"\"e\"\"\",9,9\n2025-02-20T05:29:00+05:30,\"B,\"\"e\"\"\",,\n");
    EXPECT_EQ(HistorySummary(loaded, FindServerHistory(loaded, "Alpha")),
              "Alpha: 2 samples, 2025-02-20T05:28:00+05:30 to 2025-02-20T05:31:00+05:30, peak 2901 at 2025-02-20T05:28:00+05:30\n");
    ASSERT_EQ(LoadHistory(loaded, file.data(), file.size(), t + 1 + HISTORY_MINUTES), HistoryLoad::Loaded);  // 7 days
    EXPECT_EQ(HistoryCsv(loaded, nullptr), "time,server,players,peak\n2025-02-20T05:31:00+05:30,Alpha,7,7\n");
}

TEST(Query, NamesFromTheNetworkStayInert) {
    const std::pair<std::string, std::string> cells[] = {
        {"Beta", "Beta"}, {"=HYPERLINK(\"x\")", "\"'=HYPERLINK(\"\"x\"\")\""}, {"+1", "'+1"}, {"-2", "'-2"},
        {"@SUM(A1)", "'@SUM(A1)"}, {"\t=1", "\\x09=1"}, {"\r=1", "\\x0D=1"}, {"a,b", "\"a,b\""},
        {"\x1B[2J\x7F", "\\x1B[2J\\x7F"}, {"\x9B" "2J", "\\x9B2J"}, {"C\xF6r", "C\xF6r"}, {"", ""}};
    for (const auto& [name, cell] : cells) EXPECT_EQ(CsvCell(name), cell) << name;
    const Answer names = {0xFF, 0xFF, 0x01, 0x00, 0x02, 0x00, 'B', 0x1B, '[', '2', 'J', '\n', 'X', 0, 'C', '\t', 0};
    QueryResult result = DecodeAnswers(names, STATUS, "");
    EXPECT_EQ(TerminalReport(result),
              "Servers\tPlayers\tZones\nB\\x1B[2J\\x0AX\t1234\tNA\nC\\x09\tDOWN\t7\n1234 Players on EverQuest");
    result.Report += "\x07";  // a report of another shape keeps its lines
    const std::string kept = TerminalReport(result);
    EXPECT_EQ(kept.substr(kept.size() - 24), "Players on EverQuest\\x07");
}
