// The poll cycle: one-shot ticks, back-off, staleness and the tray summary, over a small host seam.
#pragma once

#include <cstddef>
#include <cstdint>

#include "settings/settings.h"
#include "status/decode.h"
#include "status/notify.h"
#include "status/protocol.h"

constexpr uint32_t REPORTING_INTERVAL = 15000;
constexpr uint32_t STALENESS_LIMIT = 180000;
constexpr unsigned POLL_TIMER_EVENT = 1;
constexpr size_t TRAY_TIP_ROOM = 64;  // the tray keeps 63 characters and a zero byte

extern const char* const WAITING_FOR_NAMES_TEXT;
extern const char* const WAITING_FOR_STATUS_TEXT;
extern const char* const SELECT_FAILED_FORMAT;

enum class TrayIcon { Neutral, Up, Down };

// The whole state of the status client: buffers, decode results and the poll counters.
struct StatusClient {
    StatusBuffers Buffers;
    char* ReportText = nullptr;  // REPORT_TEXT_SIZE bytes
    DecodeResults Decode;
    ChangeWatch Watch;
    unsigned PollTimerId = 0;
    bool FirstPoll = true;
    uint32_t PollFailures = 0;
};

// What a tick needs from the outside world, in the order a tick uses it.
struct PollHost {
    void* Context;
    void (*KillTimer)(void* context, unsigned timerId);
    int (*SelectReadNotifications)(void* context);      // 0, or the socket error code
    void (*ShowFatal)(void* context, const char* text);  // shows the box, then asks the window to close
    uint32_t (*Now)(void* context);                       // millisecond tick count
    void (*Send)(void* context, const unsigned char* code);
    void (*SetTray)(void* context, TrayIcon icon, const char* tip);
    void (*Notify)(void* context, const ChangeNotice& notice);  // the primary server came up or went down
    void (*Render)(void* context, const char* text);    // draws the text and copies it to the window
    unsigned (*SetTimer)(void* context, unsigned event, uint32_t interval);  // 0 on failure
};

uint32_t NextPollInterval(uint32_t& pollFailures);
// Whether a held status answer has gone stale: the difference modulo 2^32, read as signed.
bool StatusIsStale(uint32_t now, uint32_t lastReceiveTick);
// Composes the whole tooltip of a reporting tick into tip (tipSize bytes) and picks its icon.
TrayIcon ComposeTrayTip(const Settings& settings, int32_t primaryPlayers, int32_t totalPlayers,
                        char* tip, size_t tipSize);
// Handles a WM_TIMER with the given event id.
void PollTick(StatusClient& client, const Settings& settings, const PollHost& host, unsigned timerId);
