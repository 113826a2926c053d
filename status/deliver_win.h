// Alerts beyond the balloon on Windows: the alert command, a few runs at a time, and the webhook,
// posted off the window's thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The worker's report of a webhook that failed twice: wParam the HTTP status (400 and up) or the
// error of the connection (WinHTTP's, 12000 and up).
constexpr UINT WM_WEBHOOKFAILED = WM_APP + 103;
constexpr unsigned ALERT_RUN_TIMER_EVENT = 3;
constexpr size_t MOST_ALERT_RUNS = 4;             // at a time; further changes wait their turn
constexpr DWORD WEBHOOK_TIMEOUT_MS = 10000;
constexpr DWORD WEBHOOK_RETRY_MS = 60000;

// Queues a run of the command line exactly as written (no shell) with the environment block given.
void QueueAlertRun(const std::string& commandLine, const std::string& environment);
// Closes the runs that ended and starts waiting ones while fewer than four run; the errors of those
// that could not start are added to `failed`. True while any run or waits.
bool StartAlertRuns(std::vector<DWORD>& failed);

// Posts the JSON body to the http or https address on the worker thread (started on first use),
// once more a minute after a failure; a second failure is posted to `window` as WM_WEBHOOKFAILED.
void QueueWebhook(HWND window, const std::string& address, const std::string& body);
// Asks the worker to stop and waits for it at most `waitMs`; a post still under way is abandoned.
void StopWebhooks(DWORD waitMs);

// A text of the system's code page as UTF-8.
std::string AnsiToUtf8(const std::string& text);
