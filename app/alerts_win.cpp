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

void NoteProblems(const std::vector<std::string>& problems) {
    for (const std::string& problem : problems) NoteProblem(problem);
}

// Starts what may start, ends what ran too long, and keeps a timer while anything runs or waits.
void RunWaiting(HWND window, std::vector<std::string>& problems) {
    const bool pending = StartAlertRuns(ALERT_RUN_LIMIT_MS, problems);
    NoteProblems(problems);
    if (pending) SetTimer(window, ALERT_RUN_TIMER_EVENT, 500, nullptr);
    else KillTimer(window, ALERT_RUN_TIMER_EVENT);
}

// The whole inherited environment goes on in UTF-16, so that no variable passes through the code page.
void QueueRuns(HWND window, const std::string& commandLine, const std::vector<AlertChange>& changes) {
    wchar_t* parent = GetEnvironmentStringsW();
    const std::string time = LocalTimeText(static_cast<int64_t>(std::time(nullptr)));
    std::vector<std::string> problems;
    for (const AlertChange& change : changes)
        QueueAlertRun(commandLine, AlertEnvironment(reinterpret_cast<const char16_t*>(parent), change, time), change.Server,
                      problems);
    if (parent) FreeEnvironmentStringsW(parent);
    RunWaiting(window, problems);
}
}  // namespace

void DeliverNotice(HWND window, const AlertNotice& notice) {
    const Settings& settings = TheApp.UserSettings;
    if (!settings.AlertCommand.empty()) QueueRuns(window, settings.AlertCommand, notice.Changes);
    if (IsWebhookAddress(settings.AlertWebhook))
        QueueWebhook(window, settings.AlertWebhook, WebhookBody(AnsiToUtf8(notice.Text)));
}

void OnAlertRunTimer(HWND window) {
    std::vector<std::string> problems;
    RunWaiting(window, problems);
}

void OnWebhookFailed(WPARAM) { NoteProblems(TakeWebhookFailures()); }

void TestAlertCommand(HWND window, const std::string& commandLine) {
    const int32_t minimum = TheApp.UserSettings.MinPlayers;
    QueueRuns(window, commandLine, {AlertChange{"Test", ServerState::Up, 123, minimum, "Test is up: 123 players"}});
}

void TestWebhook(HWND window, const std::string& address) {
    QueueWebhook(window, address, WebhookBody("Tallowin: a test of this webhook"));
}
