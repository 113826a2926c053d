// Tests of what alerts carry beyond the balloon: the command's environment, the webhook's body and
// address, and the count on the tray icon.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "status/deliver.h"
#include "view/count_icon.h"

TEST(Deliver, TheCommandGetsTheChangeInItsEnvironmentOnly) {
    const char16_t parent[] = u"=C:=C:\\x\0PATH=c:\\bin\0tallowin_server=spoof\0TALLOWIN_OTHER=keep\0"
                              u"TEMP=C:\\Users\u0141ukasz\\\U0001D11E\0ZED=1\0";
    const std::string evil = "Evil\" & del x & \"\nB=d";
    const char16_t expected[] = u"=C:=C:\\x\0PATH=c:\\bin\0TALLOWIN_MESSAGE=Evil____del_x_____B_d has 40 players\0"
                                u"TALLOWIN_MINIMUM=50\0TALLOWIN_OTHER=keep\0TALLOWIN_PLAYERS=40\0TALLOWIN_SERVER=Evil____del_x_____B_d\0"
                                u"TALLOWIN_STATE=fewer\0TALLOWIN_TIME=T1\0TEMP=C:\\Users\u0141ukasz\\\U0001D11E\0ZED=1\0";
    EXPECT_EQ(AlertEnvironment(parent, AlertChange{evil, ServerState::Fewer, 40, 50, evil + " has 40 players"}, "T1"),
              std::u16string(expected, std::size(expected)));
    const char16_t told[] = u"\0TALLOWIN_PLAYERS=\0TALLOWIN_SERVER=Beta\0TALLOWIN_STATE=down\0";
    EXPECT_NE(AlertEnvironment(nullptr, AlertChange{"Beta", ServerState::Down, -1, 3, "Beta is DOWN"}, "T").find(told, 0, std::size(told) - 1),
              std::u16string::npos);
}

// Every byte: a name is one word no cmd line can take apart; the balloon's line keeps the program's words.
TEST(Deliver, NoByteOfANameIsSpecialToCmd) {
    for (int b = 0; b < 256; ++b)  // kept: ASCII letters, digits and - . ' ` _
        EXPECT_EQ(CommandWord({'a', char(b)}), (std::string{'a', std::isalnum(b) || (b && std::strchr("-.'`_", b)) ? char(b) : '_'})) << b;
    std::mt19937 random(20261226);
    const char* const tails[] = {" is DOWN", " is up: 40 players", " has 2 players, fewer than 3", " keeps going up and down"};
    for (int round = 0; round < 2000; ++round) {
        std::string name(1 + random() % 40, '\0');
        for (char& c : name) c = static_cast<char>(random() % 256);
        EXPECT_EQ(CommandMessage(AlertChange{name, ServerState::Down, -1, 3, name + tails[round % 4]}), CommandWord(name) + tails[round % 4]);
    }
    EXPECT_EQ(CommandMessage(AlertChange{"Beta", ServerState::Down, -1, 3, "R&D is DOWN"}), "R_D_is_DOWN");
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

// A failure says what failed in words; a redirect, where to by scheme and host, never a path or query.
TEST(Deliver, AWebhookFailureSaysWhatFailedAndNothingSecret) {
    const std::tuple<unsigned long, unsigned long, const char*, const char*> rows[] = {
        {0, 12002, "", "timed out"}, {0, 12029, "", "cannot connect"}, {0, 12345, "", "error 12345"}, {400, 0, "/x", "400"},
        {399, 0, "", "399"}, {301, 0, "javascript:secret", "301"}, {300, 0, "https://@/secret", "300"},
        {301, 0, "HTTPS://me:pw@Discord.com:8443/api/secret?wait=1", "301, use the address it points to on https://Discord.com:8443"},
        {308, 0, "https://[::1]:9#secret", "308, use the address it points to on https://[::1]:9"},
        {307, 0, "/moved/secret", "307, use the address it points to on http://127.0.0.27:24280"},
        {302, 0, "//other.example\\@evil/secret", "302, use the address it points to on http://other.example"},
        {303, 0, "https://a&b<c>\x01/secret", "303, use the address it points to on https://a"}};
    for (const auto& [status, error, location, said] : rows)
        EXPECT_EQ(WebhookFailure(status, error, location, "http://127.0.0.27:24280/hook/secret"), std::string("Webhook failed: ") + said);
}

TEST(Deliver, TheTrayCountFitsItsIcon) {
    const std::pair<int32_t, const char*> counts[] = {{0, "0"},      {7, "7"},       {999, "999"}, {1000, "1.0k"},
                                                      {1499, "1.4k"}, {9999, "9.9k"}, {10000, "10k"}, {65533, "65k"}};
    for (const auto& [players, text] : counts) EXPECT_EQ(TrayCountText(players), text) << players;
    for (const int size : {16, 20, 24, 32}) {
        std::vector<uint32_t> pixels(static_cast<size_t>(size * size), 0x80008000u);
        DrawCountText(pixels.data(), size, "1.4k");
        int white = 0, black = 0, columnsLeft = size, columnsRight = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const uint32_t p = pixels[static_cast<size_t>(y * size + x)];
                white += p == 0xFFFFFFFFu;
                black += p == 0xFF000000u;
                if (p != 0x80008000u) columnsLeft = std::min(columnsLeft, x), columnsRight = std::max(columnsRight, x);
                if (y < size / 2) {
                    EXPECT_EQ(p, 0x80008000u) << size;  // the upper half keeps the icon's mark
                }
            }
        const int scale = size / 16 == 2 ? 2 : 1;
        EXPECT_EQ(white, 27 * scale * scale) << size;  // 1 (8), . (1), 4 (9), k (9) font pixels, and no more
        EXPECT_GT(black, white) << size;
        EXPECT_TRUE(columnsLeft >= 0 && columnsRight < size && columnsLeft + columnsRight == size - 1 - (size - 13 * scale) % 2) << size;
    }
}
