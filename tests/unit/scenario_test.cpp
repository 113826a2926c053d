// Tests of the simulator's scenarios: the answers it builds decode to what the scenario says.
#include <gtest/gtest.h>

#include "status/protocol.h"
#include "query/query.h"
#include "tools/statusd/scenario.h"

TEST(Scenario, DefaultScenarioDecodesToItsServers) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(DEFAULT_SCENARIO_JSON, scenario, error)) << error;
    const QueryResult result = DecodeAnswers(scenario.NamesAnswer, scenario.StatusAnswer, "Vox");
    EXPECT_FALSE(result.ErrorReport) << result.Report;
    ASSERT_EQ(result.Decode.ServerList.size(), 12u);
    EXPECT_EQ(result.Decode.ServerList[0].Name, "Test");
    EXPECT_EQ(result.Decode.ServerList[0].Zones, -1);
    EXPECT_EQ(result.Decode.PrimaryPlayers, -1);  // Vox is down
    EXPECT_EQ(result.Decode.TotalPlayers, 187 + 812 + 645 + 503 + 1134 + 978 + 1402 + 366 + 721 + 1256 + 94);
    EXPECT_EQ(std::string(scenario.BannerAnswer.begin() + 4, scenario.BannerAnswer.end() - 1).substr(0, 7), "Welcome");
}

TEST(Scenario, RawAnswersFaultsAndInjections) {
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(ParseScenario(R"({"servers":[{"name":"A","group":1,"players":"DOWN"}],
        "names_hex":"ff ff 01 00 05 00", "silent":true, "stop_after":12.5,
        "inject":[{"after":2,"kind":"short"},{"kind":"oversize","count":3},{"kind":"hex","hex":"FFFF0200"}]})",
                              scenario, error)) << error;
    EXPECT_EQ(scenario.NamesAnswer, (Datagram{0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00}));
    EXPECT_EQ(scenario.StatusAnswer.size(), 10u);
    EXPECT_EQ(scenario.StatusAnswer[5], 0xFF);
    EXPECT_TRUE(scenario.Silent);
    EXPECT_DOUBLE_EQ(scenario.StopAfter, 12.5);
    ASSERT_EQ(scenario.Injections.size(), 3u);
    EXPECT_EQ(scenario.Injections[0].Bytes.size(), 2u);
    EXPECT_EQ(scenario.Injections[1].Bytes.size(), RECEIVE_SIZE + 1);
    EXPECT_EQ(scenario.Injections[1].Count, 3);
    EXPECT_EQ(scenario.Injections[2].Bytes, (Datagram{0xFF, 0xFF, 0x02, 0x00}));
    // Names go out in the service's code page.
    ASSERT_TRUE(ParseScenario(R"({"servers":[{"name":"Caf\u00e9","group":1,"players":1}]})", scenario, error)) << error;
    EXPECT_EQ(std::string(scenario.NamesAnswer.begin() + 6, scenario.NamesAnswer.end()), std::string("Caf\xE9\0", 5));
}

TEST(Scenario, RejectsWhatTheServiceCannotSend) {
    const char* bad[] = {
        "not json",
        R"({"servers":[]})",
        R"({"servers":[{"name":"A","group":2,"players":1}]})",
        R"({"servers":[{"name":"A","group":1,"players":65535}]})",
        R"({"servers":[{"name":"A","group":1,"players":"UP"}]})",
        R"({"servers":[{"name":"A","group":1,"players":1}],"names_hex":"abc"})",
        R"({"servers":[{"name":"A","group":1,"players":1}],"inject":[{"kind":"loud"}]})",
        R"({"servers":[{"name":"\u20ac","group":1,"players":1}]})",  // no Latin-1 character
    };
    for (const char* text : bad) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(ParseScenario(text, scenario, error)) << text;
        EXPECT_FALSE(error.empty());
    }
}
