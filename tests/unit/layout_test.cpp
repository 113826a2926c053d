// Tests of the report layout arithmetic with a fixed-pitch fake font.
#include <gtest/gtest.h>

#include <string>

#include "view/layout.h"

namespace {
// 10 pixels a character, 16 pixels a line.
TextExtent FixedPitch(void*, const char*, int count) { return TextExtent{static_cast<unsigned>(10 * count), 16}; }

ReportLayout Measure(const std::string& text) { return MeasureReport(text.c_str(), FixedPitch, nullptr); }
}  // namespace

TEST(Layout, SplitsLinesAndFirstColumns) {
    const char* cursor = "Servers\tPlayers\tZones\nA\t1\nTotal";
    ReportLine line = NextReportLine(cursor);
    EXPECT_EQ(std::string(line.Text, line.Length), "Servers\tPlayers\tZones");
    EXPECT_EQ(line.FirstColumnLength, 7);
    EXPECT_FALSE(line.Last);
    line = NextReportLine(cursor);
    EXPECT_EQ(line.FirstColumnLength, 1);
    line = NextReportLine(cursor);
    EXPECT_EQ(std::string(line.Text, line.Length), "Total");
    EXPECT_EQ(line.FirstColumnLength, 5);
    EXPECT_TRUE(line.Last);
}

TEST(Layout, SizesAndStops) {
    struct Case {
        const char* what;
        std::string text;
        int columnWidth, width, height, stop1, stop2;
    };
    const Case cases[] = {
        {"one line: 3 x its own width, stops from 0", "Waiting for server names...", 0, 810, 16, -80, -150},
        {"widest first column 100 px", "Servers\tPlayers\tZones\nTenLetters\t5\t1\nTotal", 100, 300, 48, -180, -250},
        {"the total line never widens the column",
         "Servers\tPlayers\tZones\nA\t1\t2\n1357 Players on EverQuest and more", 70, 210, 48, -150, -220},
        {"empty first columns fall back to the last line", "\tx\n\ty\nabc", 0, 90, 48, -80, -150},
        {"trailing line feed measures an empty last line", "abcd\n", 40, 120, 32, -120, -190},
    };
    for (const Case& c : cases) {
        const ReportLayout layout = Measure(c.text);
        EXPECT_EQ(layout.ColumnWidth, c.columnWidth) << c.what;
        EXPECT_EQ(layout.Width, c.width) << c.what;
        EXPECT_EQ(layout.Height, c.height) << c.what;
        EXPECT_EQ(layout.LineHeight, 16) << c.what;
        EXPECT_EQ(layout.TabStops[0], c.stop1) << c.what;
        EXPECT_EQ(layout.TabStops[1], c.stop2) << c.what;
    }
}

TEST(Layout, ExtentsAreUnsignedSixteenBitHalves) {
    const TextExtent e = UnpackExtent(0x0010FFFEu);
    EXPECT_EQ(e.Width, 0xFFFEu);
    EXPECT_EQ(e.Height, 16u);
}
