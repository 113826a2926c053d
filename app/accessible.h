// What a screen reader hears of the report, and the keyboard's line that follows its server.
#pragma once

#include <string>
#include <vector>

#include "status/decode.h"

// The report as a screen reader reads it, a sentence a line. A decoded report whose server lines
// are placed: one per server line in the order drawn, then the total line. Any other text (waiting,
// an error, a report whose lines could not be placed): one per drawn line, its columns read as a list.
struct SpokenReport {
    std::vector<std::string> Lines;
    std::vector<std::string> ServerNames;  // the servers of the first lines, one each
    int FirstDrawnLine = 0;                // the drawn line that Lines[0] reads: 1 below the header
};

// "Beta, 123 players, 10 zones"; "Vox, DOWN"; "Test, 187 players" (no zones). The name's control
// bytes, tabs and line feeds included, are read as spaces.
std::string ServerSentence(const ServerEntry& server);

// The drawn text's lines as spoken. `rows` is the server list entry each drawn server line shows;
// they are placed when the text is a report and there is a row for every server.
void SpeakReport(const char* drawnText, bool report, const std::vector<ServerEntry>& servers,
                 const std::vector<size_t>& rows, SpokenReport& spoken);

// The server line the keyboard is on after a report, or -1 without server lines: the line of the
// server it was on (the nearest to where it was when several have that name), else the line where
// it was, else the last; the first when it was on none.
int FollowSelection(const SpokenReport& spoken, const std::string& server, int wasRow);

enum class LineMove { Up, Down, First, Last };
// The server line a key moves the keyboard's line to, among `count`; -1 without lines.
int MoveSelection(int row, int count, LineMove move);

// What a screen reader is told when a new report replaces one: the set of lines changed, the
// keyboard's line is on another line (focus and selection), or only its own text changed.
// Nothing for lines the keyboard is not on.
struct ReportEvents {
    bool Reorder = false;
    bool Focus = false;
    bool NameChange = false;
};
ReportEvents EventsForReport(const SpokenReport& before, int beforeRow, const SpokenReport& after, int afterRow);
