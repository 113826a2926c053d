// Alerts beyond the balloon on Windows: the alert command, a few runs at a time, and the webhook,
// posted off the window's thread.
//
// Each run has a job of its own, so that a run ended at its time limit takes whatever it started
// with it (a batch file's programs). The webhook's worker shares only its queues with the window's
// thread, under a critical section; it reports back by PostMessage alone. WinHTTP is loaded on the
// worker's first post, so the program imports nothing of it and starts as fast without a webhook.
#include "status/deliver_win.h"

#include <winhttp.h>

#include <deque>

#include "status/deliver.h"
#include "status/libraries_win.h"

namespace {
struct AlertRun {
    std::string CommandLine;
    std::u16string Environment;
    std::string Server;
    HANDLE Process = nullptr;
    HANDLE Job = nullptr;  // null where the program's own job allows none inside it (Windows 7)
    DWORD StartedAt = 0;
};
std::deque<AlertRun> waitingRuns;
std::vector<AlertRun> runningRuns;

// Starts the run suspended, so that it is in its job before it can start anything; false, with the
// error, when it cannot start.
bool StartRun(AlertRun& run, DWORD& error) {
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started;
    ZeroMemory(&started, sizeof started);
    std::string line = run.CommandLine;  // CreateProcess may write into it
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE,
                        CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED, &run.Environment[0], nullptr,
                        &startup, &started)) {
        error = GetLastError();
        return false;
    }
    run.Job = CreateJobObjectA(nullptr, nullptr);
    if (run.Job && !AssignProcessToJobObject(run.Job, started.hProcess)) {
        CloseHandle(run.Job);
        run.Job = nullptr;
    }
    ResumeThread(started.hThread);
    CloseHandle(started.hThread);
    run.Process = started.hProcess;
    run.StartedAt = GetTickCount();
    return true;
}

struct WebhookPost {
    HWND Window;
    std::string Address;
    std::string Body;
    bool Retry;      // the second and last attempt
    DWORD NotBefore;
};
CRITICAL_SECTION webhookLock;
HANDLE webhookWake = nullptr;
HANDLE webhookThread = nullptr;
bool webhookStopping = false;
std::deque<WebhookPost> webhookPosts;
std::vector<std::string> webhookFailures;

// A text of the code page in UTF-16, ended by a zero.
std::vector<wchar_t> Wide(const std::string& text) {
    std::vector<wchar_t> wide(text.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

// WinHTTP's calls, looked up by the first post.
struct WinHttp {
    decltype(&WinHttpOpen) Open;
    decltype(&WinHttpCrackUrl) CrackUrl;
    decltype(&WinHttpConnect) Connect;
    decltype(&WinHttpOpenRequest) OpenRequest;
    decltype(&WinHttpSetTimeouts) SetTimeouts;
    decltype(&WinHttpSetOption) SetOption;
    decltype(&WinHttpSendRequest) SendRequest;
    decltype(&WinHttpReceiveResponse) ReceiveResponse;
    decltype(&WinHttpQueryHeaders) QueryHeaders;
    decltype(&WinHttpCloseHandle) CloseHandle;
} http;
bool httpTried = false, httpLoaded = false;

bool LoadWinHttp() {
    HMODULE library = LoadSystemLibrary("winhttp.dll");
    if (!library) return false;
    auto find = [&](auto& call, const char* name) {
        call = reinterpret_cast<std::remove_reference_t<decltype(call)>>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
        return call != nullptr;
    };
    return find(http.Open, "WinHttpOpen") && find(http.CrackUrl, "WinHttpCrackUrl") && find(http.Connect, "WinHttpConnect") &&
           find(http.OpenRequest, "WinHttpOpenRequest") && find(http.SetTimeouts, "WinHttpSetTimeouts") &&
           find(http.SetOption, "WinHttpSetOption") &&
           find(http.SendRequest, "WinHttpSendRequest") && find(http.ReceiveResponse, "WinHttpReceiveResponse") &&
           find(http.QueryHeaders, "WinHttpQueryHeaders") && find(http.CloseHandle, "WinHttpCloseHandle");
}

// The answer's Location header, its characters beyond ASCII as '?'; empty without one.
std::string Location(HINTERNET request) {
    wchar_t wide[512] = L"";
    DWORD size = sizeof wide - sizeof(wchar_t);
    if (!http.QueryHeaders(request, WINHTTP_QUERY_LOCATION, WINHTTP_HEADER_NAME_BY_INDEX, wide, &size, WINHTTP_NO_HEADER_INDEX))
        return std::string();
    std::string location;
    for (const wchar_t* c = wide; *c; ++c) location += *c < 0x80 ? static_cast<char>(*c) : '?';
    return location;
}

// The first post that is due, or how long until one is (INFINITE when none waits).
bool TakeDuePost(WebhookPost& post, DWORD& wait) {
    wait = INFINITE;
    const DWORD now = GetTickCount();
    for (auto at = webhookPosts.begin(); at != webhookPosts.end(); ++at) {
        const LONG until = static_cast<LONG>(at->NotBefore - now);
        if (until <= 0) {
            post = std::move(*at);
            webhookPosts.erase(at);
            return true;
        }
        if (static_cast<DWORD>(until) < wait) wait = static_cast<DWORD>(until);
    }
    return false;
}

DWORD WINAPI WebhookWorker(void*) {
    for (;;) {
        WebhookPost post;
        DWORD wait = INFINITE;
        EnterCriticalSection(&webhookLock);
        const bool stopping = webhookStopping;
        const bool due = !stopping && TakeDuePost(post, wait);
        LeaveCriticalSection(&webhookLock);
        if (stopping) return 0;
        if (!due) {
            WaitForSingleObject(webhookWake, wait);
            continue;
        }
        const std::string failure = PostWebhook(post.Address, post.Body);
        if (failure.empty()) continue;
        const bool last = post.Retry;
        const HWND window = post.Window;
        EnterCriticalSection(&webhookLock);
        if (last) {
            webhookFailures.push_back(failure);
        } else {
            post.Retry = true;
            post.NotBefore = GetTickCount() + WEBHOOK_RETRY_MS;
            webhookPosts.push_back(std::move(post));
        }
        LeaveCriticalSection(&webhookLock);
        if (last) PostMessageA(window, WM_WEBHOOKFAILED, 0, 0);
    }
}
}  // namespace

void QueueAlertRun(const std::string& commandLine, const std::u16string& environment, const std::string& server,
                   std::vector<std::string>& problems) {
    // The oldest waiting tells the stalest news.
    if (waitingRuns.size() >= MOST_WAITING_RUNS) {
        problems.push_back("Alert command for " + waitingRuns.front().Server + " dropped: too many waiting");
        waitingRuns.pop_front();
    }
    waitingRuns.push_back(AlertRun{commandLine, environment, server});
}

bool StartAlertRuns(DWORD limitMs, std::vector<std::string>& problems) {
    const DWORD now = GetTickCount();
    for (size_t i = 0; i < runningRuns.size();) {
        AlertRun& run = runningRuns[i];
        if (WaitForSingleObject(run.Process, 0) == WAIT_TIMEOUT) {
            if (now - run.StartedAt < limitMs) {
                ++i;
                continue;
            }
            if (run.Job) TerminateJobObject(run.Job, 1);
            else TerminateProcess(run.Process, 1);
            problems.push_back("Alert command for " + run.Server + " ended after " + std::to_string(limitMs / 1000) + " s");
        }
        CloseHandle(run.Process);
        if (run.Job) CloseHandle(run.Job);
        runningRuns.erase(runningRuns.begin() + static_cast<std::ptrdiff_t>(i));
    }
    DWORD error = 0;
    while (runningRuns.size() < MOST_ALERT_RUNS && !waitingRuns.empty()) {
        AlertRun run = std::move(waitingRuns.front());
        waitingRuns.pop_front();
        if (StartRun(run, error)) runningRuns.push_back(std::move(run));
    }
    // One line, however many of the runs started now failed: they fail alike.
    if (error != 0) problems.push_back("Alert command failed: error " + std::to_string(error));
    return !runningRuns.empty() || !waitingRuns.empty();
}

std::string PostWebhook(const std::string& address, const std::string& body) {
    if (!httpTried) {
        httpTried = true;
        httpLoaded = LoadWinHttp();
    }
    if (!httpLoaded) return WebhookFailure(0, ERROR_MOD_NOT_FOUND, std::string(), address);
    const std::vector<wchar_t> url = Wide(address);
    URL_COMPONENTS parts;
    ZeroMemory(&parts, sizeof parts);
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!http.CrackUrl(url.data(), 0, 0, &parts)) return WebhookFailure(0, GetLastError(), std::string(), address);
    std::vector<wchar_t> host(parts.lpszHostName, parts.lpszHostName + parts.dwHostNameLength);
    host.push_back(L'\0');
    // The path with its query, or "/".
    std::vector<wchar_t> path(parts.lpszUrlPath, parts.lpszUrlPath + parts.dwUrlPathLength);
    path.insert(path.end(), parts.lpszExtraInfo, parts.lpszExtraInfo + parts.dwExtraInfoLength);
    if (path.empty()) path.push_back(L'/');
    path.push_back(L'\0');
    HINTERNET session = http.Open(L"Tallowin", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0);
    HINTERNET connection = session ? http.Connect(session, host.data(), parts.nPort, 0) : nullptr;
    HINTERNET request = connection ? http.OpenRequest(connection, L"POST", path.data(), nullptr,
                                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                      parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                                   : nullptr;
    DWORD status = 0, size = sizeof status, timeout = WEBHOOK_TIMEOUT_MS, redirects = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    std::string failure;
    // The wait for the answer's headers has a timeout of its own besides the socket's. A redirect
    // is an answer: followed, a 301 or 302 would become a GET without the body, a 307 would post the
    // message to whatever host it names.
    if (request && http.SetTimeouts(request, WEBHOOK_TIMEOUT_MS, WEBHOOK_TIMEOUT_MS, WEBHOOK_TIMEOUT_MS, WEBHOOK_TIMEOUT_MS) &&
        http.SetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &timeout, sizeof timeout) &&
        http.SetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, &redirects, sizeof redirects) &&
        http.SendRequest(request, L"Content-Type: application/json\r\n", static_cast<DWORD>(-1),
                         const_cast<char*>(body.data()), static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0) &&
        http.ReceiveResponse(request, nullptr) &&
        http.QueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                          &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        if (status < 200 || status >= 300) failure = WebhookFailure(status, 0, Location(request), address);
    } else {
        failure = WebhookFailure(0, GetLastError(), std::string(), address);
    }
    for (HINTERNET handle : {request, connection, session})
        if (handle) http.CloseHandle(handle);
    return failure;
}

void QueueWebhook(HWND window, const std::string& address, const std::string& body) {
    if (!webhookThread) {
        InitializeCriticalSection(&webhookLock);
        webhookWake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        webhookThread = CreateThread(nullptr, 0, WebhookWorker, nullptr, 0, nullptr);
        if (!webhookThread) {
            webhookFailures.push_back(WebhookFailure(0, GetLastError(), std::string(), address));
            PostMessageA(window, WM_WEBHOOKFAILED, 0, 0);
            return;
        }
    }
    EnterCriticalSection(&webhookLock);
    webhookPosts.push_back(WebhookPost{window, address, body, false, GetTickCount()});
    LeaveCriticalSection(&webhookLock);
    SetEvent(webhookWake);
}

std::vector<std::string> TakeWebhookFailures() {
    std::vector<std::string> failures;
    const bool shared = webhookThread != nullptr;  // else no worker shares them
    if (shared) EnterCriticalSection(&webhookLock);
    failures.swap(webhookFailures);
    if (shared) LeaveCriticalSection(&webhookLock);
    return failures;
}

void StopWebhooks(DWORD waitMs) {
    if (!webhookThread) return;
    EnterCriticalSection(&webhookLock);
    webhookStopping = true;
    LeaveCriticalSection(&webhookLock);
    SetEvent(webhookWake);
    WaitForSingleObject(webhookThread, waitMs);
}

std::string AnsiToUtf8(const std::string& text) {
    const std::vector<wchar_t> wide = Wide(text);
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(n > 0 ? static_cast<size_t>(n) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), -1, &utf8[0], n, nullptr, nullptr);
    utf8.resize(utf8.size() - 1);
    return utf8;
}
