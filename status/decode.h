// Decoding of the names and status answers into the report text, the server list and the totals.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// How a byte of a server's name stands in the report text: a control byte is a space, so that no
// name can start a line or a column of its own.
inline char ShownNameByte(unsigned char c) { return c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c); }

struct ServerEntry {
    std::string Name;
    int32_t Players = 0;  // -1 when the server is DOWN
    int32_t Zones = 0;    // -1 for a first-group server
};

constexpr size_t SERVER_LIST_ROOM = 100;

// Results of the last decode. Entries are rewritten in place, so a refill of a list that already
// had its room allocates nothing.
struct DecodeResults {
    DecodeResults() { ServerList.reserve(SERVER_LIST_ROOM); }
    std::vector<ServerEntry> ServerList;
    int32_t TotalPlayers = 0;
    int32_t PrimaryPlayers = 0;  // kept across decodes that do not find the primary server
    bool PrimaryListed = false;  // whether the last successful decode found it
};

extern const char* const BAD_STATUS_TEXT;
extern const char* const BAD_NAMES_TEXT;
extern const char* const COUNT_MISMATCH_TEXT;
extern const char* const EXTRA_NAMES_TEXT;

// Rewrites reportText (REPORT_TEXT_SIZE bytes) from the two answers; marks the names answer
// empty (first byte 0) when it is to blame. Reads no byte at or beyond either length, nor beyond
// the buffers' own sizes, and never writes past the report buffer. False when a decoding error's
// message replaced the report.
bool DecodeStatus(DecodeResults& results, const std::string& primaryServer, char* reportText,
                  unsigned char* namesBuffer, uint32_t namesLength,
                  const unsigned char* statusBuffer, uint32_t statusLength);
