// Decoding of the names and status answers into the report text, the server list and the totals.
//
// Answers come from the network and are untrusted. Where the answer layout leaves room for
// nonsense, the decoder takes these decisions:
// - A group count byte of 0x80 or more (a negative count) is reported as a count mismatch, like
//   any other pair of answers whose counts cannot describe the names, so the names are asked for
//   again.
// - A record that would lie at or beyond the status answer's length is not read: the bytes there
//   are left over from an earlier answer. The decode stops with the bad-status message, as for a
//   status answer that is too short; the names answer is kept, the server list is left empty and
//   the totals keep what the names before it gave (as for the extra-names error).
// - A control byte in a name (a tab, a line feed, any byte below 0x20, and 0x7F) is written to the
//   report as a space: the report's lines and columns are the decoder's alone, so no name can draw
//   a server line of its own. The server list keeps the name as the service sent it.
// - With answers of at most 4096 bytes and counts of 0 to 127 the text needs at most 5,538 bytes,
//   well inside the report buffer; the writer still stops at the buffer's end, so no input can
//   write past it.
#include "status/decode.h"

#include <cstring>

#include "status/protocol.h"

const char* const BAD_STATUS_TEXT = "Bad server status response- resubmitting...";
const char* const BAD_NAMES_TEXT = "Bad server name response- resubmitting...";
const char* const COUNT_MISMATCH_TEXT = "Server number mismatch- resubmitting...";
const char* const EXTRA_NAMES_TEXT = "Error- extra world server data";

namespace {
constexpr uint16_t DOWN_COUNT = 0xFFFF;
constexpr uint32_t NAMES_START = 6;

// Appends to the report buffer; what does not fit is dropped and the text stays terminated.
struct ReportWriter {
    char* text;
    size_t used;

    void Bytes(const void* data, size_t n) {
        const size_t room = REPORT_TEXT_SIZE - 1 - used;
        if (n > room) n = room;
        std::memcpy(text + used, data, n);
        used += n;
        text[used] = 0;
    }
    void Text(const char* s) { Bytes(s, std::strlen(s)); }
    void Name(const unsigned char* name, size_t n) {
        for (size_t i = 0; i < n; ++i) {
            const char c = ShownNameByte(name[i]);
            Bytes(&c, 1);
        }
    }
    template <size_t N>
    void Literal(const char (&s)[N]) { Bytes(s, N - 1); }
    void Number(int32_t value) {
        char digits[12];
        char* end = digits + sizeof digits;
        char* p = end;
        uint32_t magnitude = value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value);
        do {
            *--p = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0) *--p = '-';
        Bytes(p, static_cast<size_t>(end - p));
    }
};

void ReplaceText(char* reportText, const char* message) {
    ReportWriter writer{reportText, 0};
    writer.Text(message);
}

uint16_t BigEndian16(const unsigned char* p) {
    return static_cast<uint16_t>((static_cast<unsigned>(p[0]) << 8) | static_cast<unsigned>(p[1]));
}

int32_t SignedByte(unsigned char b) { return static_cast<int8_t>(b); }

// One name's record: its player count (or DOWN) and, for the second group, its zone count.
struct Record {
    bool found;
    bool firstGroup;
    uint16_t count;
    int32_t zones;
};

struct RecordCursor {
    const unsigned char* status;
    uint32_t length;
    int32_t firstCount, secondCount;
    int32_t firstGiven = 0, secondGiven = 0;

    // Next record, or found = false when both groups are used up; `beyond` is set when the
    // record would lie past the answer's length.
    Record Next(bool& beyond) {
        beyond = false;
        if (firstGiven < firstCount) {
            const uint32_t at = 5 + 2 * static_cast<uint32_t>(firstGiven++);
            if (at + 2 > length) { beyond = true; return {}; }
            return {true, true, BigEndian16(status + at), -1};
        }
        if (secondGiven < secondCount) {
            const uint32_t at = 6 + 2 * static_cast<uint32_t>(firstCount) +
                                4 * static_cast<uint32_t>(secondGiven++);
            if (at + 4 > length) { beyond = true; return {}; }
            return {true, false, BigEndian16(status + at), SignedByte(status[at + 3])};
        }
        return {};
    }
};

void AppendEnding(ReportWriter& writer, const Record& record) {
    writer.Literal("\t");
    if (record.count == DOWN_COUNT) writer.Literal("DOWN");
    else writer.Number(record.count);
    writer.Literal("\t");
    if (record.firstGroup) writer.Literal("NA");
    else writer.Number(record.zones);
    writer.Literal("\n");
}

// Puts entry `index` in place, reusing the storage of an entry left by an earlier decode.
void StoreEntry(std::vector<ServerEntry>& list, size_t index, const unsigned char* name,
                size_t nameLength, int32_t players, int32_t zones) {
    if (index == list.size()) list.emplace_back();
    ServerEntry& entry = list[index];
    entry.Name.assign(reinterpret_cast<const char*>(name), nameLength);
    entry.Players = players;
    entry.Zones = zones;
}
}  // namespace

bool DecodeStatus(DecodeResults& results, const std::string& primaryServer, char* reportText,
                  unsigned char* namesBuffer, uint32_t namesLength,
                  const unsigned char* statusBuffer, uint32_t statusLength) {
    if (namesLength > NAMES_BUFFER_SIZE) namesLength = NAMES_BUFFER_SIZE;
    if (statusLength > STATUS_BUFFER_SIZE) statusLength = STATUS_BUFFER_SIZE;

    if (statusLength <= 9) {
        ReplaceText(reportText, BAD_STATUS_TEXT);
        return false;
    }
    if (namesLength <= 6) {
        ReplaceText(reportText, BAD_NAMES_TEXT);
        namesBuffer[0] = 0;
        return false;
    }
    const int32_t nameCount = SignedByte(namesBuffer[4]);
    const int32_t firstCount = SignedByte(statusBuffer[4]);
    const int32_t secondCount = SignedByte(statusBuffer[7]);
    if (nameCount != firstCount + secondCount || firstCount < 0 || secondCount < 0) {
        ReplaceText(reportText, COUNT_MISMATCH_TEXT);
        namesBuffer[0] = 0;
        return false;
    }

    std::vector<ServerEntry>& list = results.ServerList;
    results.TotalPlayers = 0;
    bool listed = false;  // kept only by a decode that gets through the names
    ReportWriter writer{reportText, 0};
    writer.Literal("Servers\tPlayers\tZones\n");
    RecordCursor records{statusBuffer, statusLength, firstCount, secondCount};
    size_t entries = 0;

    uint32_t pos = NAMES_START;
    while (pos < namesLength) {
        const unsigned char* name = namesBuffer + pos;
        const void* nul = std::memchr(name, 0, namesLength - pos);
        if (nul == nullptr) {  // a last name without its NUL makes no entry
            writer.Name(name, namesLength - pos);
            break;
        }
        const size_t nameLength = static_cast<size_t>(static_cast<const unsigned char*>(nul) - name);
        writer.Name(name, nameLength);
        bool beyond = false;
        const Record record = records.Next(beyond);
        if (!record.found) {
            list.clear();
            ReplaceText(reportText, beyond ? BAD_STATUS_TEXT : EXTRA_NAMES_TEXT);
            if (!beyond) namesBuffer[0] = 0;
            return false;
        }
        const int32_t players = record.count == DOWN_COUNT ? -1 : record.count;
        if (players >= 0) results.TotalPlayers += players;
        AppendEnding(writer, record);
        StoreEntry(list, entries++, name, nameLength, players, record.zones);
        // A name listed twice counts by its first entry, as in the alerts; no primary server (an empty
        // one) is never the server whose name the service left empty.
        if (!listed && nameLength > 0 && primaryServer.size() == nameLength &&
            std::memcmp(primaryServer.data(), name, nameLength) == 0) {
            results.PrimaryPlayers = players;
            listed = true;
        }
        pos += static_cast<uint32_t>(nameLength) + 1;
    }
    list.resize(entries);
    results.PrimaryListed = listed;
    writer.Number(results.TotalPlayers);
    writer.Literal(" Players on EverQuest");
    return true;
}
