// What a screen reader hears of the report, and the keyboard's line that follows its server.
#include "app/accessible.h"

#include <cstdlib>
#include <cstring>

namespace {
// Text from the service as spoken: a control byte would reach the reader as a character of its own.
void AppendSpoken(std::string& out, const char* text, size_t length, const char* tab) {
    for (size_t i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\t') out += tab;
        else out += c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c);
    }
}

void AppendCount(std::string& out, int32_t count, const char* one, const char* many) {
    out += ", " + std::to_string(count) + (count == 1 ? one : many);
}
}  // namespace

std::string ServerSentence(const ServerEntry& server) {
    std::string sentence;
    AppendSpoken(sentence, server.Name.data(), server.Name.size(), " ");
    if (server.Players < 0) return sentence + ", DOWN";
    AppendCount(sentence, server.Players, " player", " players");
    if (server.Zones != -1) AppendCount(sentence, server.Zones, " zone", " zones");
    return sentence;
}

void SpeakReport(const char* drawnText, bool report, const std::vector<ServerEntry>& servers,
                 const std::vector<size_t>& rows, SpokenReport& spoken) {
    spoken.Lines.clear();
    spoken.ServerNames.clear();
    const bool placed = report && rows.size() == servers.size();
    spoken.FirstDrawnLine = placed ? 1 : 0;
    const char* line = drawnText;
    if (placed) {
        for (size_t server : rows) {
            spoken.Lines.push_back(ServerSentence(servers[server]));
            spoken.ServerNames.push_back(servers[server].Name);
        }
        const char* last = std::strrchr(drawnText, '\n');
        line = last ? last + 1 : drawnText;  // the total line
    }
    for (;;) {
        const char* end = std::strchr(line, '\n');
        spoken.Lines.emplace_back();
        AppendSpoken(spoken.Lines.back(), line, end ? static_cast<size_t>(end - line) : std::strlen(line), ", ");
        if (!end) return;
        line = end + 1;
    }
}

int FollowSelection(const SpokenReport& spoken, const std::string& server, int wasRow) {
    const int count = static_cast<int>(spoken.ServerNames.size());
    if (count == 0) return -1;
    const int from = wasRow < 0 ? 0 : wasRow;
    int found = -1;
    for (int row = 0; row < count; ++row) {
        if (spoken.ServerNames[row] == server && (found < 0 || std::abs(row - from) < std::abs(found - from))) found = row;
    }
    if (found >= 0) return found;
    return wasRow < 0 ? 0 : (wasRow < count ? wasRow : count - 1);
}

int MoveSelection(int row, int count, LineMove move) {
    if (count <= 0) return -1;
    switch (move) {
    case LineMove::Up: return row > 0 ? row - 1 : 0;
    case LineMove::Down: return row + 1 < count ? row + 1 : count - 1;
    case LineMove::First: return 0;
    case LineMove::Last: return count - 1;
    }
    return row;
}

ReportEvents EventsForReport(const SpokenReport& before, int beforeRow, const SpokenReport& after, int afterRow) {
    ReportEvents events;
    events.Reorder = before.ServerNames != after.ServerNames || before.Lines.size() != after.Lines.size();
    if (afterRow < 0) return events;
    // The reader knows a line by its place: a server that moved is focused again where it is now.
    const bool same = beforeRow == afterRow && beforeRow < static_cast<int>(before.ServerNames.size()) &&
                      before.ServerNames[beforeRow] == after.ServerNames[afterRow];
    events.Focus = !same;
    events.NameChange = same && before.Lines[beforeRow] != after.Lines[afterRow];
    return events;
}
