// Alerts for the watched servers: which changes of state are real, when they are told, and how.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "settings/settings.h"
#include "status/decode.h"

constexpr int ALERT_CONFIRM_REPORTS = 2;         // a new state holds this long before it counts
constexpr uint32_t ALERT_BUDGET_MS = 600000;     // no server is named in more than two balloons in this time
constexpr uint32_t ALERT_PAUSE_MS = 3600000;     // "Pause alerts for 1 hour"
constexpr size_t RECENT_CHANGE_COUNT = 10;
constexpr size_t NOTICE_TITLE_ROOM = 64;         // the balloon's title and text fields
constexpr size_t NOTICE_TEXT_ROOM = 256;

// A watched server is up with at least its minimum of players, fewer with less, DOWN, or unlisted
// when the names answer no longer holds it.
enum class ServerState : uint8_t { Unknown, Up, Fewer, Down, Unlisted };

struct WatchedServer {
    std::string Name;
    int32_t Minimum = 0;                           // the line between up and fewer, as last seen
    ServerState Told = ServerState::Unknown;       // what the user was last told, or the baseline
    ServerState Confirmed = ServerState::Unknown;  // the last state that held for two reports
    ServerState Seen = ServerState::Unknown;       // in the last report
    uint8_t Streak = 0;             // reports in a row, since the last gap, that saw Seen
    int32_t Players = -1;           // the count behind Confirmed, kept current while it stands
    int32_t SeenPlayers = -1;       // the count of the last report that listed it
    bool ToldFlapping = false;      // the last balloon said it keeps changing
    bool HeldByBudget = false;      // the change due now waited because the server was named too often
    uint8_t Changes = 0;            // confirmed changes since the last balloon that named it, up to two
    uint32_t ChangedAt[2] = {0, 0}; // clocks of the last two of them, newest first
    uint8_t Named = 0;              // balloons that named it, up to two
    uint32_t NamedAt[2] = {0, 0};   // clocks of the last two of them, newest first
};

// One server's part of a notice: what the balloon says of it and the state behind that.
struct AlertChange {
    std::string Server;
    ServerState State;
    int32_t Players;   // -1 when there is no count (DOWN, unlisted)
    int32_t Minimum;
    std::string Message;  // "Beta is DOWN", "Beta keeps going up and down"
};

struct AlertNotice {
    char Title[NOTICE_TITLE_ROOM];
    char Text[NOTICE_TEXT_ROOM];
    std::vector<AlertChange> Changes;  // in the balloon's order
};

struct AlertState {
    std::vector<WatchedServer> Servers;   // the primary server first, then the watch list
    bool Paused = false;
    uint32_t PausedUntil = 0;
    std::vector<size_t> Due;              // the servers the notice being shown tells of, in its order
    uint32_t DueAt = 0;                   // the clock of that notice
    std::vector<std::string> Recent;      // "HH:MM Beta is DOWN", newest first
};

// Whether a server is watched: the primary always, any other while it is on the watch list.
bool IsWatched(const Settings& settings, const std::string& name);
// Adds or removes a name on the watch list; false when it cannot be added (the list is full or
// the name too long to keep).
bool ToggleWatched(Settings& settings, const std::string& name);

// A reporting tick whose decode succeeded on a status answer not seen before. The first report of
// a server newly watched only sets its baseline; a new minimum moves only the up/fewer line.
void ObserveReport(AlertState& state, const Settings& settings, const std::vector<ServerEntry>& servers,
                   uint32_t now);
// The names or status were asked for again: the next report starts a new confirmation, but what
// was told still stands, so that what changed across the gap is told once.
void NoteReportGap(AlertState& state);

// True when changes may be told now: alerts are not paused, and each server named has held its
// state for two reports, still shows it, and was not named in two balloons in the last ten
// minutes. notice then tells all of them at once. With notifications switched off, the state
// confirmed is quietly taken as told and nothing is due.
bool DueNotice(AlertState& state, const Settings& settings, uint32_t now, AlertNotice& notice);
// The notice was shown at the local time clock ("HH:MM"): its changes count as told and join the
// recent changes. A notice that is not shown leaves them due, to be told as they then stand.
void MarkNoticeShown(AlertState& state, const AlertNotice& notice, const char* clock);
// A line for the recent changes that tells no server's state: "Webhook failed: 404".
void NoteAlertProblem(AlertState& state, const char* clock, const std::string& problem);

void PauseAlerts(AlertState& state, uint32_t now);
void ResumeAlerts(AlertState& state);
// Whether a pause holds at this clock; a pause that has run out ends here.
bool AlertsPaused(AlertState& state, uint32_t now);
