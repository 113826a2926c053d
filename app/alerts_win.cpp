// The alerts' effects beyond the balloon, from the window: the command for each change, the webhook
// for each balloon, their failures among the recent changes, and the tests Options offers of them.
#include "app/alerts_win.h"

#include <ctime>
#include <vector>

#include "app/app_win.h"
#include "status/deliver.h"
#include "status/deliver_win.h"

namespace {
void NoteProblem(const std::string& problem) {
    char clock[6] = "";
    FormatLocalClock(clock, 0);
    NoteAlertProblem(TheApp.Client.Alerts, clock, problem);
}

// Starts what may start, and keeps a timer while anything runs or waits.
void RunWaiting(HWND window) {
    std::vector<DWORD> failed;
    const bool pending = StartAlertRuns(failed);
    // One line, however many of the runs started now failed: they fail alike.
    if (!failed.empty()) NoteProblem("Alert command failed: error " + std::to_string(failed.front()));
    if (pending) SetTimer(window, ALERT_RUN_TIMER_EVENT, 500, nullptr);
    else KillTimer(window, ALERT_RUN_TIMER_EVENT);
}

void QueueRuns(HWND window, const std::string& commandLine, const std::vector<AlertChange>& changes) {
    char* parent = GetEnvironmentStringsA();
    const std::string time = LocalTimeText(static_cast<int64_t>(std::time(nullptr)));
    for (const AlertChange& change : changes) QueueAlertRun(commandLine, AlertEnvironment(parent, change, time));
    if (parent) FreeEnvironmentStringsA(parent);
    RunWaiting(window);
}
}  // namespace

void DeliverNotice(HWND window, const AlertNotice& notice) {
    const Settings& settings = TheApp.UserSettings;
    if (!settings.AlertCommand.empty()) QueueRuns(window, settings.AlertCommand, notice.Changes);
    if (IsWebhookAddress(settings.AlertWebhook))
        QueueWebhook(window, settings.AlertWebhook, WebhookBody(AnsiToUtf8(notice.Text)));
}

void OnAlertRunTimer(HWND window) { RunWaiting(window); }

void OnWebhookFailed(WPARAM result) {
    const bool status = result >= 400 && result < 600;
    NoteProblem("Webhook failed: " + std::string(status ? "" : "error ") + std::to_string(result));
}

void TestAlertCommand(HWND window, const std::string& commandLine) {
    const int32_t minimum = TheApp.UserSettings.MinPlayers;
    QueueRuns(window, commandLine, {AlertChange{"Test", ServerState::Up, 123, minimum, "Test is up: 123 players"}});
}

void TestWebhook(HWND window, const std::string& address) {
    QueueWebhook(window, address, WebhookBody("Tallowin: a test of this webhook"));
}
