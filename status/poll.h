// The poll cycle: one-shot ticks, back-off, staleness and the tray summary, over a small host seam.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/settings.h"
#include "status/decode.h"
#include "status/history.h"
#include "status/alerts.h"
#include "status/protocol.h"

constexpr uint32_t REPORTING_INTERVAL = 15000;
constexpr uint32_t STALENESS_LIMIT = 180000;
// Names are asked for again at least this often while reporting: a rename or a merge keeps the count
// of servers, so the decoder alone would never notice it.
constexpr uint32_t NAMES_REFRESH_INTERVAL = 3600000;
constexpr unsigned POLL_TIMER_EVENT = 1;
constexpr size_t TRAY_TIP_ROOM = 64;  // the tray keeps 63 characters and a zero byte

extern const char* const WAITING_FOR_NAMES_TEXT;
extern const char* const WAITING_FOR_STATUS_TEXT;
extern const char* const SELECT_FAILED_FORMAT;
extern const char* const HOST_NOT_FOUND_FORMAT;
extern const char* const NO_HOST_TEXT;

enum class TrayIcon { Neutral, Up, Down };

// The socket's way to the status service: opened at start and looked up afresh while it cannot be
// found, when a report goes stale (the service may have moved) and when the user names another host.
enum class StatusLink : uint8_t {
    Unopened,
    Ready,     // the host was found and the socket connected to it
    NoHost,    // no host is set at all
    NotFound,  // the host's name cannot be resolved (the network may not be up yet)
};

// The whole state of the status client: buffers, decode results and the poll counters.
struct StatusClient {
    StatusBuffers Buffers;
    char* ReportText = nullptr;  // REPORT_TEXT_SIZE bytes
    DecodeResults Decode;
    AlertState Alerts;
    History Counts;                // each server's players over the last week
    uint32_t ObservedAnswers = 0;  // the status answer last taken as a report (StatusAnswers)
    uint32_t NamesAskedAt = 0;     // clock of the last names request
    uint32_t ReportMinute = 0;     // the minute and clock of the last report added to Counts, to
    uint32_t ReportTick = 0;       // tell a change of the system's clock from time passing
    bool RecordsHistory = true;    // each report adds to Counts
    StatusLink Link = StatusLink::Unopened;
    std::string LinkHost;          // the host as the user named it, for the texts that say it cannot be found
    unsigned PollTimerId = 0;
    bool FirstPoll = true;
    uint32_t PollFailures = 0;
};

// What a tick needs from the outside world, in the order a tick uses it.
struct PollHost {
    void* Context;
    void (*KillTimer)(void* context, unsigned timerId);
    // Looks the status host up and connects the socket to it; host is set to its name as given.
    StatusLink (*OpenLink)(void* context, std::string& host);
    int (*SelectReadNotifications)(void* context);      // 0, or the socket error code
    void (*ShowFatal)(void* context, const char* text);  // shows the box, then asks the window to close
    uint32_t (*Now)(void* context);                       // millisecond tick count
    uint32_t (*Minute)(void* context);                    // minutes since 1970 (UTC), for the history
    void (*Send)(void* context, const unsigned char* code);
    // The icon, its tip, and the primary server's players for the icon to show (-1 for none).
    void (*SetTray)(void* context, TrayIcon icon, const char* tip, int32_t players);
    bool (*UserBusy)(void* context);                      // a full-screen game, presentation, quiet time
    bool (*Notify)(void* context, const AlertNotice& notice);  // false when the shell refused it
    // A notice was shown: the alert command for each server it tells of, the webhook for the whole.
    void (*Deliver)(void* context, const AlertNotice& notice);
    void (*LocalClock)(void* context, char* hhmm);        // "HH:MM", 6 bytes
    // Draws the text and copies it to the window; report is true when the text is the decoded
    // report of the server list, one line a server.
    void (*Render)(void* context, const char* text, bool report);
    unsigned (*SetTimer)(void* context, unsigned event, uint32_t interval);  // 0 on failure
};

uint32_t NextPollInterval(uint32_t& pollFailures);
// Whether a held status answer has gone stale: the difference modulo 2^32, read as signed.
bool StatusIsStale(uint32_t now, uint32_t lastStatusTick);
// Composes the whole tooltip of a reporting tick into tip (tipSize bytes) and picks its icon.
TrayIcon ComposeTrayTip(const Settings& settings, const DecodeResults& decode, char* tip, size_t tipSize);
// The primary server's players for the icon to show with its tip, or -1 for none.
int32_t TrayPlayers(TrayIcon icon, const DecodeResults& decode);
// Handles a WM_TIMER with the given event id.
void PollTick(StatusClient& client, const Settings& settings, const PollHost& host, unsigned timerId);
// The user named another host: both answers are forgotten and the next tick looks it up; the
// history, the watch list and what was told carry on.
void ForgetStatusLink(StatusClient& client);
