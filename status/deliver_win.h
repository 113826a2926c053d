// Alerts beyond the balloon on Windows: the alert command, a few runs at a time and each for a minute
// at most, and the webhook, posted off the window's thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The worker's word that webhooks failed twice: their lines wait in TakeWebhookFailures.
constexpr UINT WM_WEBHOOKFAILED = WM_APP + 103;
constexpr unsigned ALERT_RUN_TIMER_EVENT = 3;
constexpr size_t MOST_ALERT_RUNS = 4;        // at a time; further changes wait their turn
constexpr size_t MOST_WAITING_RUNS = 64;     // a whole balloon of the watch list; beyond, the oldest goes
constexpr DWORD ALERT_RUN_LIMIT_MS = 60000;  // a run still going then is ended, with all it started
constexpr DWORD WEBHOOK_TIMEOUT_MS = 10000;
constexpr DWORD WEBHOOK_RETRY_MS = 60000;

// Queues a run, for the server named, of the command line exactly as written (no shell) with the
// UTF-16 environment block given; the line of a waiting run dropped to make room joins `problems`.
void QueueAlertRun(const std::string& commandLine, const std::u16string& environment, const std::string& server,
                   std::vector<std::string>& problems);
// Closes the runs that ended, ends those still going after limitMs, and starts waiting ones while
// fewer than four run; what went wrong joins `problems`, as lines for the recent changes. True while
// any run or waits.
bool StartAlertRuns(DWORD limitMs, std::vector<std::string>& problems);

// Posts the JSON body to the http or https address and waits for the answer, on one thread at a
// time: empty when a 2xx answer took it, else the failure's line. Redirects are not followed.
std::string PostWebhook(const std::string& address, const std::string& body);
// Posts on the worker thread (started on first use), once more a minute after a failure; a second
// failure's line waits in TakeWebhookFailures, and WM_WEBHOOKFAILED is posted to `window`.
void QueueWebhook(HWND window, const std::string& address, const std::string& body);
// The lines of the webhooks that failed since the last call.
std::vector<std::string> TakeWebhookFailures();
// Asks the worker to stop and waits for it at most `waitMs`; a post still under way is abandoned.
void StopWebhooks(DWORD waitMs);

// A text of the system's code page as UTF-8.
std::string AnsiToUtf8(const std::string& text);
