// Tests of the query tool's JSON and its checks of saved answers.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "status/protocol.h"
#include "tools/query/query.h"

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
