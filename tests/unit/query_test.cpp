// Tests of the query tool's JSON and its checks of saved answers.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <random>

#include "query/query.h"
#include "query/text.h"
#include "settings/settings.h"
#include "status/protocol.h"
#include "answers.h"

namespace {
const Answer NAMES = {0xFF, 0xFF, 0x01, 0x00, 0x02, 0x00, 'A', 'l', 'p', 'h', 'a', 0, 'C', 0xF6, 'r', 0};
const Answer STATUS = {0xFF, 0xFF, 0x05, 0x00, 0x01, 0x04, 0xD2, 0x01, 0xFF, 0xFF, 0x00, 0x07};
}  // namespace

TEST(Query, JsonCarriesTheDecodeWithLatin1NamesAndNullsForMissingCounts) {
    const QueryResult result = DecodeAnswers(NAMES, STATUS, "Alpha");
    const auto doc = nlohmann::json::parse(QueryJson(result));
    EXPECT_EQ(doc["servers"][0]["zones"], nullptr);
    EXPECT_EQ(doc["servers"][1]["name"], "C\xC3\xB6r");
    EXPECT_EQ(doc["servers"][1]["players"], nullptr);
    EXPECT_EQ(doc["servers"][1]["zones"], 7);
    EXPECT_EQ(doc["total_players"], 1234);
    EXPECT_EQ(doc["names_rejected"], false);
    EXPECT_EQ(doc["report"], "Servers\tPlayers\tZones\nAlpha\t1234\tNA\nC\xC3\xB6r\tDOWN\t7\n1234 Players on EverQuest");
    // The primary server's count only when it is listed: null while DOWN, never a kept or made-up one.
    const std::pair<const char*, nlohmann::json> primaries[] = {{"Alpha", 1234}, {"C\xF6r", nullptr}, {"Gone", "absent"}};
    for (const auto& [primary, players] : primaries) {
        const auto one = nlohmann::json::parse(QueryJson(DecodeAnswers(NAMES, STATUS, primary)));
        EXPECT_EQ(one.value("primary_players", nlohmann::json("absent")), players) << primary;
        const auto line = nlohmann::json::parse(WatchJsonLine(DecodeAnswers(NAMES, STATUS, primary), "t", true));
        EXPECT_EQ(line.value("primary_players", nlohmann::json("absent")), players) << primary;
    }
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
        {"\x1B[2J\x7F", "\\x1B[2J\\x7F"}, {"\x9B" "2J", "\\x9B2J"}, {"C\xF6r", "C\xC3\xB6r"}, {"", ""}};
    for (const auto& [name, cell] : cells) EXPECT_EQ(CsvCell(name), cell) << name;
}

// Whatever bytes the names hold, the report has its header, one line a server with two tabs, in the
// order asked for, and the total; nothing in a name starts a line or a column.
TEST(Query, TheReportKeepsItsShapeAndOrderWhateverTheNames) {
    std::mt19937 random(2023);
    const char alphabet[] = "ab\t\n\r\x1B\x85\xE9\\\"";
    for (int round = 0; round < 500; ++round) {
        std::vector<std::string> names(random() % 5 + 2);
        std::vector<GroupRecord> records;
        for (std::string& name : names) {
            name.resize(random() % 5 + 1);
            for (char& c : name) c = alphabet[random() % (sizeof alphabet - 1)];
            records.push_back({static_cast<uint16_t>(random() % 3 == 0 ? 0xFFFF : random() % 100), 1});
        }
        const uint16_t first = records[0].Players;
        records.erase(records.begin());
        QueryResult result = DecodeAnswers(NamesAnswer(names), StatusAnswer({first}, records), "");
        ASSERT_FALSE(result.ErrorReport) << result.Report;
        SortResult(result, SORT_BY_NAME);
        const std::string text = TerminalReport(result);
        std::vector<std::string> lines;
        for (size_t at = 0, end = 0; end != std::string::npos; at = end + 1) lines.push_back(text.substr(at, (end = text.find('\n', at)) - at));
        ASSERT_EQ(lines.size(), names.size() + 2) << text;
        EXPECT_EQ(lines.front(), "Servers\tPlayers\tZones");
        EXPECT_EQ(lines.back().find(" Players on EverQuest"), lines.back().size() - 21);
        std::vector<std::string> shown;
        for (size_t i = 1; i + 1 < lines.size(); ++i) {
            EXPECT_EQ(std::count(lines[i].begin(), lines[i].end(), '\t'), 2) << lines[i];
            EXPECT_EQ(lines[i].find_first_of("\r\x1B"), std::string::npos) << lines[i];
            shown.push_back(lines[i].substr(0, lines[i].find('\t')));
        }
        // By name: bytes compared unsigned, ASCII letters without regard to case, ties as listed.
        std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
                return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
            });
        });
        for (std::string& name : names) name = InertText(name);
        EXPECT_EQ(shown, names) << text;
    }
}

TEST(Query, ServiceTextReadsBackFromUtf8) {
    std::mt19937 random(1252);
    for (int round = 0; round < 1000; ++round) {
        std::string latin1(random() % 12, ' '), back;
        for (char& c : latin1) c = static_cast<char>(random() % 256);
        ASSERT_TRUE(Utf8ToLatin1(Latin1ToUtf8(latin1), back));
        EXPECT_EQ(back, latin1);
    }
    for (const char* refused : {"\xC3", "\xC3(", "\xE2\x82\xAC", "\xC4\x80", "\x80", "\xF0\x9F\x98\x80"}) {
        std::string kept = "kept";
        EXPECT_FALSE(Utf8ToLatin1(refused, kept)) << refused;
        EXPECT_EQ(kept, "kept");
    }
    EXPECT_EQ(InertText("Caf\xE9\x85\x7F\x9F\xA0\n"), "Caf\xC3\xA9\\x85\\x7F\\x9F\xC2\xA0\\x0A");
}
