// The poll cycle: one-shot ticks, back-off, staleness and the tray summary.
#include "status/poll.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "status/text.h"

const char* const WAITING_FOR_NAMES_TEXT = "Waiting for server names...";
const char* const WAITING_FOR_STATUS_TEXT = "Waiting for server status...";
const char* const SELECT_FAILED_FORMAT = "Fatal: Unable to select read notifications (errno: %d)";
const char* const HOST_NOT_FOUND_FORMAT = "Cannot find the status service at %s, trying again...";
const char* const NO_HOST_TEXT = "No status service is set: right-click the tray icon, Options, Service...";

uint32_t NextPollInterval(uint32_t& pollFailures) {
    if (pollFailures >= 56) return 60000;
    ++pollFailures;
    if (pollFailures >= 20) return 15000;
    if (pollFailures >= 10) return 5000;
    return 1000;
}

bool StatusIsStale(uint32_t now, uint32_t lastStatusTick) {
    const int32_t d = static_cast<int32_t>(now - lastStatusTick);
    // INT32_MIN has no positive counterpart; it is far beyond the limit either way.
    return d == INT32_MIN || std::abs(d) >= static_cast<int32_t>(STALENESS_LIMIT);
}

TrayIcon ComposeTrayTip(const Settings& settings, const DecodeResults& decode, char* tip, size_t tipSize) {
    const char* primary = settings.PrimaryServer.c_str();
    const int32_t primaryPlayers = decode.PrimaryPlayers;
    const int32_t totalPlayers = decode.TotalPlayers;
    if (settings.PrimaryServer.empty()) {
        std::snprintf(tip, tipSize, "%d Players on EverQuest", static_cast<int>(totalPlayers));
        return TrayIcon::Neutral;
    }
    // A server the names answer no longer holds is not up, whatever it had before. A long name is
    // shortened so that the tray still shows what became of it.
    if (!decode.PrimaryListed) {
        char tail[64];
        std::snprintf(tail, sizeof tail, " is not listed,\r\n%d Players on EverQuest", static_cast<int>(totalPlayers));
        const size_t room = TRAY_TIP_ROOM - 1 - std::strlen(tail);
        std::snprintf(tip, tipSize, "%s%s", Shortened(settings.PrimaryServer, room).c_str(), tail);
        return TrayIcon::Down;
    }
    if (primaryPlayers < 0) {
        std::snprintf(tip, tipSize, "%s is DOWN,\r\n%d Players on EverQuest", primary,
                      static_cast<int>(totalPlayers));
        return TrayIcon::Down;
    }
    // Below its minimum it is "fewer", as the balloon says, not DOWN.
    const int32_t minimum = MinimumFor(settings, settings.PrimaryServer);
    if (primaryPlayers < minimum) {
        std::snprintf(tip, tipSize, "%s has %d %s, fewer than %d,\r\n%d Players on EverQuest", primary,
                      static_cast<int>(primaryPlayers), primaryPlayers == 1 ? "player" : "players",
                      static_cast<int>(minimum), static_cast<int>(totalPlayers));
        return TrayIcon::Down;
    }
    std::snprintf(tip, tipSize, "%d Players on %s,\r\n%d Players on EverQuest",
                  static_cast<int>(primaryPlayers), primary, static_cast<int>(totalPlayers));
    return TrayIcon::Up;
}

int32_t TrayPlayers(TrayIcon icon, const DecodeResults& decode) {
    return icon != TrayIcon::Neutral && decode.PrimaryListed ? decode.PrimaryPlayers : -1;
}

namespace {
// A tick that reports nothing: it asks again (nothing while the service cannot be reached) and backs off.
void WaitingTick(StatusClient& client, const PollHost& host, const unsigned char* request,
                 const char* text, uint32_t now, uint32_t& interval) {
    if (request) host.Send(host.Context, request);
    if (request == REQ_NAMES) client.NamesAskedAt = now;
    NoteReportGap(client.Alerts);
    interval = NextPollInterval(client.PollFailures);
    std::snprintf(client.ReportText, REPORT_TEXT_SIZE, "%s", text);
    host.SetTray(host.Context, TrayIcon::Neutral, client.ReportText, -1);
}

// One balloon a report at most; a refused one leaves its changes due for the next.
void TellDueChanges(StatusClient& client, const Settings& settings, const PollHost& host, uint32_t now) {
    AlertNotice notice;
    if (!DueNotice(client.Alerts, settings, now, notice) || host.UserBusy(host.Context)) return;
    if (!host.Notify(host.Context, notice)) return;
    char clock[6] = "";
    host.LocalClock(host.Context, clock);
    MarkNoticeShown(client.Alerts, notice, clock);
    // After the changes have joined the recent ones, so that a failure to deliver shows above them.
    host.Deliver(host.Context, notice);
}

// The tick count runs on through sleep, so a minute far from what it predicts is the system's clock
// being set: what no longer fits the new clock is set aside, and what fits it again comes back. The
// first report, seconds after the start, is judged by the clock the history was read by.
void RecordReport(StatusClient& client, const PollHost& host, uint32_t now) {
    const uint32_t minute = host.Minute(host.Context);
    const int64_t expected = client.ReportMinute != 0 ? int64_t{client.ReportMinute} + (now - client.ReportTick) / 60000
                                                      : int64_t{client.Counts.Clock};
    if (expected != 0 && (minute > expected + HISTORY_AHEAD_MINUTES || minute + int64_t{HISTORY_AHEAD_MINUTES} < expected))
        MoveHistoryClock(client.Counts, minute);
    client.ReportMinute = minute;
    client.ReportTick = now;
    AddReport(client.Counts, minute, client.Decode.ServerList);
}

// True when the decode succeeded.
bool ReportingTick(StatusClient& client, const Settings& settings, const PollHost& host, uint32_t now) {
    StatusBuffers& b = client.Buffers;
    host.Send(host.Context, REQ_STATUS);
    // Both answers arrive before the next tick, which decodes the new names with the new counts.
    if (now - client.NamesAskedAt >= NAMES_REFRESH_INTERVAL) {
        host.Send(host.Context, REQ_NAMES);
        client.NamesAskedAt = now;
    }
    const bool decoded = DecodeStatus(client.Decode, settings.PrimaryServer, client.ReportText, b.NamesBuffer,
                 b.NamesLength, b.StatusBuffer, b.StatusLength);
    // The full tip: a 259-character server name and three numbers fit with room to spare.
    char tip[SETTINGS_TEXT_SIZE + 96];
    const TrayIcon icon = ComposeTrayTip(settings, client.Decode, tip, sizeof tip);
    host.SetTray(host.Context, icon, tip, TrayPlayers(icon, client.Decode));
    // Only an answer not seen before is a report: one decoded again while the service is silent
    // must neither confirm itself nor stand in the history for minutes nobody answered.
    if (decoded && b.StatusAnswers != client.ObservedAnswers) {
        client.ObservedAnswers = b.StatusAnswers;
        ObserveReport(client.Alerts, settings, client.Decode.ServerList, now);
        if (client.RecordsHistory) RecordReport(client, host, now);
    }
    TellDueChanges(client, settings, host, now);
    client.PollFailures = 0;
    return decoded;
}
}  // namespace

void PollTick(StatusClient& client, const Settings& settings, const PollHost& host, unsigned timerId) {
    if (timerId != client.PollTimerId) return;
    if (client.PollTimerId != 0) {
        host.KillTimer(host.Context, client.PollTimerId);
        client.PollTimerId = 0;
    }
    StatusBuffers& b = client.Buffers;
    const uint32_t now = host.Now(host.Context);
    // A report gone stale is dropped, and the host looked up afresh: the service may have moved.
    if (b.StatusBuffer[0] != 0 && StatusIsStale(now, b.LastStatusTick)) {
        b.StatusBuffer[0] = 0;
        client.Link = StatusLink::Unopened;
    }
    if (client.Link != StatusLink::Ready) {
        client.Link = host.OpenLink(host.Context, client.LinkHost);
        // Found at last (the network is up): the service is asked at once, not at the back-off's pace.
        if (client.Link == StatusLink::Ready) client.PollFailures = 0;
    }
    // Read notifications go on with the first tick that can reach the service.
    if (client.FirstPoll && client.Link == StatusLink::Ready) {
        client.FirstPoll = false;
        const int error = host.SelectReadNotifications(host.Context);
        if (error != 0) {
            char text[96];
            std::snprintf(text, sizeof text, SELECT_FAILED_FORMAT, error);
            host.ShowFatal(host.Context, text);
            return;
        }
    }

    uint32_t interval = REPORTING_INTERVAL;
    bool report = false;
    if (client.Link != StatusLink::Ready) {
        char text[SETTINGS_TEXT_SIZE + 64];
        std::snprintf(text, sizeof text, HOST_NOT_FOUND_FORMAT, client.LinkHost.c_str());
        WaitingTick(client, host, nullptr, client.Link == StatusLink::NoHost ? NO_HOST_TEXT : text, now, interval);
    } else if (b.NamesBuffer[0] == 0) {
        WaitingTick(client, host, REQ_NAMES, WAITING_FOR_NAMES_TEXT, now, interval);
    } else if (b.StatusBuffer[0] == 0) {
        WaitingTick(client, host, REQ_STATUS, WAITING_FOR_STATUS_TEXT, now, interval);
    } else {
        report = ReportingTick(client, settings, host, now);
    }
    host.Render(host.Context, client.ReportText, report);
    client.PollTimerId = host.SetTimer(host.Context, POLL_TIMER_EVENT, interval);
}

void ForgetStatusLink(StatusClient& client) {
    client.Buffers.NamesBuffer[0] = 0;
    client.Buffers.StatusBuffer[0] = 0;
    client.Link = StatusLink::Unopened;
    client.PollFailures = 0;
    NoteReportGap(client.Alerts);
}
