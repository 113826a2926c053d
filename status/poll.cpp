// The poll cycle: one-shot ticks, back-off, staleness and the tray summary.
#include "status/poll.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

const char* const WAITING_FOR_NAMES_TEXT = "Waiting for server names...";
const char* const WAITING_FOR_STATUS_TEXT = "Waiting for server status...";
const char* const SELECT_FAILED_FORMAT = "Fatal: Unable to select read notifications (errno: %d)";

uint32_t NextPollInterval(uint32_t& pollFailures) {
    if (pollFailures >= 56) return 60000;
    ++pollFailures;
    if (pollFailures >= 20) return 15000;
    if (pollFailures >= 10) return 5000;
    return 1000;
}

bool StatusIsStale(uint32_t now, uint32_t lastReceiveTick) {
    const int32_t d = static_cast<int32_t>(now - lastReceiveTick);
    // INT32_MIN has no positive counterpart; it is far beyond the limit either way.
    return d == INT32_MIN || std::abs(d) >= static_cast<int32_t>(STALENESS_LIMIT);
}

TrayIcon ComposeTrayTip(const Settings& settings, int32_t primaryPlayers, int32_t totalPlayers,
                        char* tip, size_t tipSize) {
    const char* primary = settings.PrimaryServer.c_str();
    if (settings.PrimaryServer.empty()) {
        std::snprintf(tip, tipSize, "%d Players on EverQuest", static_cast<int>(totalPlayers));
        return TrayIcon::Neutral;
    }
    if (primaryPlayers < settings.MinPlayers) {
        std::snprintf(tip, tipSize, "%s is DOWN,\r\n%d Players on EverQuest", primary,
                      static_cast<int>(totalPlayers));
        return TrayIcon::Down;
    }
    std::snprintf(tip, tipSize, "%d Players on %s,\r\n%d Players on EverQuest",
                  static_cast<int>(primaryPlayers), primary, static_cast<int>(totalPlayers));
    return TrayIcon::Up;
}

namespace {
void WaitingTick(StatusClient& client, const PollHost& host, const unsigned char* request,
                 const char* text, uint32_t& interval) {
    host.Send(host.Context, request);
    ResetChangeWatch(client.Watch);  // answers asked for again: their first report is no change
    interval = NextPollInterval(client.PollFailures);
    std::snprintf(client.ReportText, REPORT_TEXT_SIZE, "%s", text);
    host.SetTray(host.Context, TrayIcon::Neutral, client.ReportText);
}

void ReportingTick(StatusClient& client, const Settings& settings, const PollHost& host, uint32_t now) {
    StatusBuffers& b = client.Buffers;
    host.Send(host.Context, REQ_STATUS);
    const bool decoded = DecodeStatus(client.Decode, settings.PrimaryServer, client.ReportText, b.NamesBuffer,
                 b.NamesLength, b.StatusBuffer, b.StatusLength);
    // The full tip: a 259-character server name and three numbers fit with room to spare.
    char tip[SETTINGS_TEXT_SIZE + 96];
    const TrayIcon icon = ComposeTrayTip(settings, client.Decode.PrimaryPlayers,
                                         client.Decode.TotalPlayers, tip, sizeof tip);
    host.SetTray(host.Context, icon, tip);
    ChangeNotice notice;
    if (decoded &&
        WatchPrimaryServer(client.Watch, settings, icon == TrayIcon::Up, client.Decode.PrimaryPlayers, now, notice)) {
        host.Notify(host.Context, notice);
    }
    client.PollFailures = 0;
}
}  // namespace

void PollTick(StatusClient& client, const Settings& settings, const PollHost& host, unsigned timerId) {
    if (timerId != client.PollTimerId) return;
    if (client.PollTimerId != 0) {
        host.KillTimer(host.Context, client.PollTimerId);
        client.PollTimerId = 0;
    }
    if (client.FirstPoll) {
        client.FirstPoll = false;
        const int error = host.SelectReadNotifications(host.Context);
        if (error != 0) {
            char text[96];
            std::snprintf(text, sizeof text, SELECT_FAILED_FORMAT, error);
            host.ShowFatal(host.Context, text);
            return;
        }
    }
    StatusBuffers& b = client.Buffers;
    const uint32_t now = host.Now(host.Context);
    if (StatusIsStale(now, b.LastReceiveTick)) b.StatusBuffer[0] = 0;

    uint32_t interval = REPORTING_INTERVAL;
    if (b.NamesBuffer[0] == 0) {
        WaitingTick(client, host, REQ_NAMES, WAITING_FOR_NAMES_TEXT, interval);
    } else if (b.StatusBuffer[0] == 0) {
        WaitingTick(client, host, REQ_STATUS, WAITING_FOR_STATUS_TEXT, interval);
    } else {
        ReportingTick(client, settings, host, now);
    }
    host.Render(host.Context, client.ReportText);
    client.PollTimerId = host.SetTimer(host.Context, POLL_TIMER_EVENT, interval);
}
