// Tests of the menu commands' and dialogs' portable rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "app/commands.h"
#include "res/resource.h"
#include "app/dialogs.h"

TEST(Commands, OnlyTheMenuIdsCompareWhole) {
    EXPECT_TRUE(IsMenuCommand(40000));
    EXPECT_TRUE(IsMenuCommand(40010));
    EXPECT_FALSE(IsMenuCommand(39999));
    EXPECT_FALSE(IsMenuCommand(40011));
    EXPECT_FALSE(IsMenuCommand((1u << 16) | 40001));  // an accelerator or control notification
}

TEST(Commands, LaunchDirectoryIsThePathBeforeTheLastBackslash) {
    const struct { const char* exe; const char* directory; } cases[] = {
        {"D:\\Games\\game.exe", "D:\\Games"},
        {"D:\\game.exe", "D:"},
        {"C:\\EverQuest\\bin\\eqgame.exe", "C:\\EverQuest\\bin"},
        {"game.exe", ""},
        {"\\game.exe", ""},
        {"\\a\\game.exe", "\\a"},
        {"dir\\", "dir"},
    };
    for (const auto& c : cases) EXPECT_EQ(LaunchDirectory(c.exe), c.directory) << c.exe;
}

TEST(Dialogs, SortRadiosShowAndGiveBackTheStoredOrder) {
    EXPECT_EQ(SortRadioFor(0), IDC_SORT_NONE);
    EXPECT_EQ(SortRadioFor(1), IDC_SORT_NAME);
    EXPECT_EQ(SortRadioFor(2), IDC_SORT_PLAYERS);
    EXPECT_EQ(SortRadioFor(-7), IDC_SORT_PLAYERS);
    for (int32_t order : {0, 1, 2}) {
        const int radio = SortRadioFor(order);
        EXPECT_EQ(SortOrderFromRadios(radio == IDC_SORT_NONE, radio == IDC_SORT_NAME), order);
    }
}

TEST(Dialogs, CentringDropsEachRemainder) {
    EXPECT_EQ(CentredDialogLeft(1024, 400), 312);
    EXPECT_EQ(CentredDialogLeft(1025, 401), 312);  // 512 - 200
    EXPECT_EQ(CentredDialogLeft(300, 401), -50);   // wider than the desktop
}

// The stored primary server is left out here, to be added (and selected) once, last.
TEST(Dialogs, OtherServerNamesLeaveOutOnlyTheExactPrimary) {
    const std::vector<ServerEntry> servers{{"Luclin", 10, 3}, {"Luclin Two", 5, 1}, {"Vox", -1, 0}};
    using Names = std::vector<std::string>;
    EXPECT_EQ(OtherServerNames(servers, "Luclin"), (Names{"Luclin Two", "Vox"}));  // not the one it begins
    EXPECT_EQ(OtherServerNames(servers, "luclin"), (Names{"Luclin", "Luclin Two", "Vox"}));
    EXPECT_EQ(OtherServerNames(servers, ""), (Names{"Luclin", "Luclin Two", "Vox"}));
    EXPECT_EQ(OtherServerNames({}, "Luclin"), Names{});  // before the first report
}

TEST(Dialogs, RunEntryIsTheQuotedPath) {
    EXPECT_EQ(RunEntryText("C:\\Program Files\\Tallowin\\Tallowin.exe"),
              "\"C:\\Program Files\\Tallowin\\Tallowin.exe\"");
}

TEST(Dialogs, AboutTextStartsWithTheFileVersion) {
    char version[128];
    FormatFileVersion(version, sizeof version, (1u << 16) | 0, (11u << 16) | 0);
    EXPECT_STREQ(version, "Version 1.0.11.0");
    FormatFileVersion(version, sizeof version, (2u << 16) | 3, (4u << 16) | 65535);
    EXPECT_STREQ(version, "Version 2.3.4.65535");

    char text[1024];
    ComposeAboutText(text, sizeof text, "Version 1.0.11.0");
    const std::string about = text;
    EXPECT_EQ(about.substr(0, about.find('\n')), "Tallowin Version 1.0.11.0");
    EXPECT_EQ(std::count(about.begin(), about.end(), '\n'), 5);  // the first line and five of the notice
    ComposeAboutText(text, sizeof text, "");
    EXPECT_EQ(std::string(text).substr(0, 10), "Tallowin \n");
    ComposeAboutText(text, 12, "Version 1.0.11.0");
    EXPECT_STREQ(text, "Tallowin Ve");
}
