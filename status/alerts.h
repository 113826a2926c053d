// Alerts for the watched servers: which changes of state are real, when they are told, and how.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "status/decode.h"

constexpr int ALERT_CONFIRM_REPORTS = 2;         // a new state holds this long before it counts
constexpr int ALERT_WEAK_UP_REPORTS = 5;         // an 'up' at exactly the minimum holds this long
constexpr uint32_t ALERT_SETTLE_MS = 600000;     // after a change, only a clear one for ten minutes
constexpr uint32_t ALERT_PAUSE_MS = 3600000;     // "Pause alerts for 1 hour"
constexpr size_t RECENT_CHANGE_COUNT = 10;
constexpr size_t NOTICE_TITLE_ROOM = 64;         // the balloon's title and text fields
constexpr size_t NOTICE_TEXT_ROOM = 256;

// A watched server is up with at least MinPlayers players, down with fewer or DOWN, or unlisted
// when the names answer no longer holds it.
enum class ServerState : uint8_t { Unknown, Up, Down, Unlisted };

struct WatchedServer {
    std::string Name;
    ServerState Told = ServerState::Unknown;       // what the user was last told, or the baseline
    ServerState Confirmed = ServerState::Unknown;  // what the reports have confirmed
    ServerState Seen = ServerState::Unknown;       // in the last report
    uint8_t Streak = 0;             // reports in a row that saw Seen, while it differs from Confirmed
    bool Settling = false;          // a change was confirmed less than ALERT_SETTLE_MS ago
    int32_t Players = -1;           // the count behind Confirmed, kept current while it stands
    uint32_t ConfirmedAt = 0;       // clock of the last confirmed change
    size_t ListHint = 0;            // where the server stood in the last report, tried first
};

struct AlertState {
    std::vector<WatchedServer> Servers;   // the primary server first, then the watch list
    int32_t MinPlayers = 0;
    bool Paused = false;
    uint32_t PausedUntil = 0;
    std::vector<size_t> Due;              // the servers the notice being shown tells of
    std::vector<std::string> Recent;      // "HH:MM Beta is DOWN", newest first
};

struct AlertNotice {
    char Title[NOTICE_TITLE_ROOM];
    char Text[NOTICE_TEXT_ROOM];
};

// Whether a server is watched: the primary always, any other while it is on the watch list.
bool IsWatched(const Settings& settings, const std::string& name);
// Adds or removes a name on the watch list; false when it cannot be added (the list is full or
// the name too long to keep).
bool ToggleWatched(Settings& settings, const std::string& name);

// A reporting tick whose decode succeeded on a status answer not seen before. The first report of
// a server (after start, a new choice in Options or a new minimum) only sets its baseline.
void ObserveReport(AlertState& state, const Settings& settings, const std::vector<ServerEntry>& servers,
                   uint32_t now);
// The names or status were asked for again: the next report starts a new confirmation, but what
// was told still stands, so that what changed across the gap is told once.
void NoteReportGap(AlertState& state);

// True when changes are due and alerts are not paused; notice then tells all of them at once. With
// notifications switched off, the state confirmed is quietly taken as told and nothing is due.
bool DueNotice(AlertState& state, const Settings& settings, uint32_t now, AlertNotice& notice);
// The notice was shown at the local time clock ("HH:MM"): its changes count as told and join the
// recent changes. A notice that is not shown leaves them due, to be told as they then stand.
void MarkNoticeShown(AlertState& state, const char* clock);

void PauseAlerts(AlertState& state, uint32_t now);
void ResumeAlerts(AlertState& state);
// Whether a pause holds at this clock; a pause that has run out ends here.
bool AlertsPaused(AlertState& state, uint32_t now);
