// Tests of what alerts carry beyond the balloon: the command's environment, the webhook's body and
// address, and the count on the tray icon.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "status/deliver.h"
#include "view/count_icon.h"

TEST(Deliver, TheCommandGetsTheChangeInItsEnvironmentOnly) {
    const std::string parent("=C:=C:\\x\0PATH=c:\\bin\0tallowin_server=spoof\0TALLOWIN_OTHER=keep\0ZED=1\0\0", 70);
    const std::string evil = "Evil\" & del x & \"\nB=d";
    const std::string block =
        AlertEnvironment(parent.c_str(), AlertChange{evil, ServerState::Fewer, 40, 50, evil + " has 40 players"}, "T1");
    auto joined = [](const std::vector<std::string>& entries) {
        std::string joined;
        for (const std::string& entry : entries) joined += entry + '\0';
        return joined + '\0';
    };
    EXPECT_EQ(block, joined({"=C:=C:\\x", "PATH=c:\\bin", "TALLOWIN_MESSAGE=" + evil + " has 40 players", "TALLOWIN_MINIMUM=50",
                             "TALLOWIN_OTHER=keep", "TALLOWIN_PLAYERS=40", "TALLOWIN_SERVER=" + evil, "TALLOWIN_STATE=fewer",
                             "TALLOWIN_TIME=T1", "ZED=1"}));
    const std::string down = AlertEnvironment(nullptr, AlertChange{"Beta", ServerState::Down, -1, 3, "Beta is DOWN"}, "T");
    EXPECT_NE(down.find(std::string("\0TALLOWIN_PLAYERS=\0", 19)), std::string::npos);
    EXPECT_NE(down.find(std::string("\0TALLOWIN_STATE=down\0", 21)), std::string::npos);
}

TEST(Deliver, TheWebhookBodyKeepsHostileNamesInert) {
    EXPECT_EQ(WebhookBody("Evil\"\\<@&1> *x* :-\n\x01 \xC3\xB6 is DOWN"),
              "{\"content\":\"Evil\\\"\\\\\\\\\\\\<\\\\@&1\\\\> \\\\*x\\\\* \\\\:\\\\-\\u000a\\u0001 \xC3\xB6 is DOWN\","
              "\"text\":\"Evil\\\"\\\\&lt;@&amp;1&gt; *x* :-\\u000a\\u0001 \xC3\xB6 is DOWN\","
              "\"username\":\"Tallowin\",\"allowed_mentions\":{\"parse\":[]}}");
    const std::pair<const char*, bool> addresses[] = {
        {"https://discord.com/api/webhooks/1/x", true}, {"HTTP://127.0.0.1:8080/hook", true}, {"http://", false},
        {"https:///path", false}, {"ftp://host/x", false}, {"http://host/a b", false}, {"host/x", false}};
    for (const auto& [address, good] : addresses) EXPECT_EQ(IsWebhookAddress(address), good) << address;
}

TEST(Deliver, TheTrayCountFitsItsIcon) {
    const std::pair<int32_t, const char*> counts[] = {{0, "0"},      {7, "7"},       {999, "999"}, {1000, "1.0k"},
                                                      {1499, "1.4k"}, {9999, "9.9k"}, {10000, "10k"}, {65533, "65k"}};
    for (const auto& [players, text] : counts) EXPECT_EQ(TrayCountText(players), text) << players;
    // The icon's size at 100, 125, 150 and 200%: the text grows with it, a font pixel to as many as fall on it.
    for (const auto& [size, inked, rows] : {std::tuple{16, 27, 5}, {20, 37, 6}, {24, 56, 8}, {32, 108, 10}}) {
        std::vector<uint32_t> pixels(static_cast<size_t>(size * size), 0x80008000u);
        DrawCountText(pixels.data(), size, "1.4k");
        int white = 0, black = 0, columnsLeft = size, columnsRight = 0, top = size, bottom = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const uint32_t p = pixels[static_cast<size_t>(y * size + x)];
                white += p == 0xFFFFFFFFu;
                if (p == 0xFFFFFFFFu) top = std::min(top, y), bottom = y;
                black += p == 0xFF000000u;
                if (p != 0x80008000u) columnsLeft = std::min(columnsLeft, x), columnsRight = std::max(columnsRight, x);
                if (y < size / 2) {
                    EXPECT_EQ(p, 0x80008000u) << size;  // the upper half keeps the icon's mark
                }
            }
        EXPECT_EQ(white, inked) << size;  // 1 (8), . (1), 4 (9), k (9) font pixels, and no more
        EXPECT_EQ(bottom - top + 1, rows) << size;
        EXPECT_GT(black, white) << size;
        EXPECT_TRUE(columnsLeft >= 0 && columnsRight < size && std::abs(columnsLeft + columnsRight - size + 1) <= size / 16) << size;
    }
}
