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

// The two ways a change is told: the balloon, which waits while the user is busy, and the alert
// command with the webhook, which go as soon as a change counts. Each keeps its own account of
// what it told, under the same limits.
enum class AlertWay : uint8_t { Balloon, Delivery };
constexpr size_t ALERT_WAYS = 2;

// What one way last told of a server, and how often it named it lately.
struct AlertAccount {
    ServerState Told = ServerState::Unknown;  // what it last told, or the baseline
    int32_t ToldPlayers = -1;      // the count behind Told
    bool ToldFlapping = false;     // it said the server keeps changing: quiet until it settles
    bool HeldByBudget = false;     // a change of the present spell of changes waited for the budget
    uint8_t Changes = 0;           // confirmed changes since it last named the server, up to two
    uint8_t Named = 0;             // notices that named it in the last ten minutes, up to two
    uint32_t NamedAt[2] = {0, 0};  // their clocks, newest first
};

struct WatchedServer {
    std::string Name;
    int32_t Minimum = 0;                           // the line between up and fewer, as last seen
    ServerState Confirmed = ServerState::Unknown;  // the last state that held for two reports
    ServerState Seen = ServerState::Unknown;       // in the last report
    uint8_t Streak = 0;             // reports in a row, since the last gap, that saw Seen
    int32_t Players = -1;           // the count behind Confirmed, kept current while it stands
    int32_t SeenPlayers = -1;       // the count of the last report that listed it
    uint8_t RecentChanges = 0;      // confirmed changes in the last ten minutes, up to two
    uint32_t ChangedAt[2] = {0, 0}; // their clocks, newest first
    AlertAccount Ways[ALERT_WAYS];
};

// One server's part of a notice: what it says of it and the state behind that.
struct AlertChange {
    std::string Server;
    ServerState State;
    int32_t Players;   // -1 when there is no count (DOWN, unlisted)
    int32_t Minimum;
    std::string Message;  // "Beta is DOWN", "Beta keeps going up and down"
};

struct DueServer {
    size_t Server;  // in AlertState::Servers
    bool Flapping;  // told as changing too often
};

struct AlertNotice {
    AlertWay Way = AlertWay::Balloon;
    uint32_t At = 0;  // the clock it was due at
    char Title[NOTICE_TITLE_ROOM];
    char Text[NOTICE_TEXT_ROOM];
    std::vector<AlertChange> Changes;  // in the notice's order
    std::vector<DueServer> Due;        // the servers it tells of, in the same order
};

struct AlertState {
    std::vector<WatchedServer> Servers;   // the primary server first, then the watch list
    // Servers taken off the watch list whose notices still count against the budget.
    std::vector<WatchedServer> Unwatched;
    bool Paused = false;
    uint32_t PausedUntil = 0;
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
// The names or status were asked for again at `now`: the next report starts a new confirmation,
// but what was told still stands, so that what changed across the gap is told once.
void NoteReportGap(AlertState& state, uint32_t now);

// True when one way may tell changes now: alerts are not paused, and each server named has held
// its state for two reports, still shows it, and was not named by that way in two notices in the
// last ten minutes. notice then tells all of them at once. With notifications switched off, the
// state confirmed is quietly taken as told by both ways and nothing is due.
bool DueNotice(AlertState& state, const Settings& settings, uint32_t now, AlertWay way, AlertNotice& notice);
// The notice was told (a balloon shown at the local time clock, "HH:MM", or handed to the command
// and webhook): its changes count as told by its way, and a balloon's join the recent changes. A
// notice that is not told leaves them due, to be told as they then stand.
void MarkNoticeTold(AlertState& state, const AlertNotice& notice, const char* clock);
// A line for the recent changes that tells no server's state: "Webhook failed: 404".
void NoteAlertProblem(AlertState& state, const char* clock, const std::string& problem);

void PauseAlerts(AlertState& state, uint32_t now);
void ResumeAlerts(AlertState& state);
// Whether a pause holds at this clock; a pause that has run out ends here.
bool AlertsPaused(AlertState& state, uint32_t now);
