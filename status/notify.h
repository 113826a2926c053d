// When to tell the user that the primary server came up or went down, and what to say.
#pragma once

#include <cstdint>
#include <string>

#include "settings/settings.h"

constexpr uint32_t NOTIFY_QUIET_INTERVAL = 60000;  // at most one notice a minute for a server
constexpr size_t NOTICE_TITLE_ROOM = 64;           // the balloon's title and text fields
constexpr size_t NOTICE_TEXT_ROOM = 256;

// What the user has been told of the primary server. The first report for a server (and for a
// minimum) only sets the baseline: a start, or a new choice in Options, is no change of the server.
struct ChangeWatch {
    std::string Server;        // the server of the baseline; empty while there is none
    int32_t MinPlayers = 0;
    bool Up = false;           // the state last told, or found at the baseline
    bool Notified = false;     // a notice has been shown for this server
    uint32_t LastNoticeTick = 0;
};

struct ChangeNotice {
    char Title[NOTICE_TITLE_ROOM];
    char Text[NOTICE_TEXT_ROOM];
};

// Forgets the baseline, as when the names or the status are asked for again.
void ResetChangeWatch(ChangeWatch& watch);

// A reporting tick whose decode succeeded, with the tray's verdict on the primary server. True
// when a notice is due; notice then holds it. A change inside the quiet interval after the last
// notice waits for the first tick after it, and is told then only if it still stands.
bool WatchPrimaryServer(ChangeWatch& watch, const Settings& settings, bool up, int32_t primaryPlayers,
                        uint32_t now, ChangeNotice& notice);

// "Beta is up: 123 players", "Beta is DOWN", "Beta has 2 players, fewer than 3".
void ComposeNotice(ChangeNotice& notice, const std::string& server, bool up, int32_t players, int32_t minPlayers);
