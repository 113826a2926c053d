// Alerts beyond the balloon on Windows: the alert command, a few runs at a time, and the webhook,
// posted off the window's thread.
//
// The webhook's worker shares only its queue with the window's thread, under a critical section; it
// reports back by PostMessage alone. WinHTTP is loaded on the worker's first post, so the program
// imports nothing of it and starts as fast without a webhook.
#include "status/deliver_win.h"

#include <winhttp.h>

#include <deque>

namespace {
struct AlertRun {
    std::string CommandLine;
    std::string Environment;
};
std::deque<AlertRun> waitingRuns;
std::vector<HANDLE> runningRuns;

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

// A text of the code page in UTF-16, ended by a zero (wide strings stay out of the program).
std::vector<wchar_t> Wide(const std::string& text) {
    std::vector<wchar_t> wide(text.size() + 1, L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
    return wide;
}

// WinHTTP's calls, looked up once by the worker.
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
};

bool LoadWinHttp(WinHttp& http) {
    HMODULE library = LoadLibraryA("winhttp.dll");
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

// One POST; 0 when the server took it, else its status (400 and up) or the error of the attempt.
DWORD Post(const WinHttp& http, const std::string& address, const std::string& body) {
    const std::vector<wchar_t> url = Wide(address);
    URL_COMPONENTS parts;
    ZeroMemory(&parts, sizeof parts);
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!http.CrackUrl(url.data(), 0, 0, &parts)) return GetLastError();
    std::vector<wchar_t> host(parts.lpszHostName, parts.lpszHostName + parts.dwHostNameLength);
    host.push_back(L'\0');
    // The path with its query, or "/".
    std::vector<wchar_t> path(parts.lpszUrlPath, parts.lpszUrlPath + parts.dwUrlPathLength);
    path.insert(path.end(), parts.lpszExtraInfo, parts.lpszExtraInfo + parts.dwExtraInfoLength);
    if (path.empty()) path.push_back(L'/');
    path.push_back(L'\0');
    DWORD result = ERROR_WINHTTP_INTERNAL_ERROR;
    HINTERNET session = http.Open(L"Tallowin", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0);
    HINTERNET connection = session ? http.Connect(session, host.data(), parts.nPort, 0) : nullptr;
    HINTERNET request = connection ? http.OpenRequest(connection, L"POST", path.data(), nullptr,
                                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                      parts.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0)
                                   : nullptr;
    DWORD status = 0, size = sizeof status, timeout = WEBHOOK_TIMEOUT_MS;
    // The wait for the answer's headers has a timeout of its own besides the socket's.
    if (request && http.SetTimeouts(request, WEBHOOK_TIMEOUT_MS, WEBHOOK_TIMEOUT_MS, WEBHOOK_TIMEOUT_MS, WEBHOOK_TIMEOUT_MS) &&
        http.SetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &timeout, sizeof timeout) &&
        http.SendRequest(request, L"Content-Type: application/json\r\n", static_cast<DWORD>(-1),
                         const_cast<char*>(body.data()), static_cast<DWORD>(body.size()), static_cast<DWORD>(body.size()), 0) &&
        http.ReceiveResponse(request, nullptr) &&
        http.QueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER, WINHTTP_HEADER_NAME_BY_INDEX,
                          &status, &size, WINHTTP_NO_HEADER_INDEX)) {
        result = status >= 400 ? status : 0;
    } else {
        result = GetLastError();
    }
    for (HINTERNET handle : {request, connection, session})
        if (handle) http.CloseHandle(handle);
    return result;
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
    WinHttp http{};
    const bool loaded = LoadWinHttp(http);
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
        const DWORD result = loaded ? Post(http, post.Address, post.Body) : ERROR_MOD_NOT_FOUND;
        if (result == 0) continue;
        if (post.Retry) {
            PostMessageA(post.Window, WM_WEBHOOKFAILED, result, 0);
            continue;
        }
        post.Retry = true;
        post.NotBefore = GetTickCount() + WEBHOOK_RETRY_MS;
        EnterCriticalSection(&webhookLock);
        webhookPosts.push_back(std::move(post));
        LeaveCriticalSection(&webhookLock);
    }
}
}  // namespace

void QueueAlertRun(const std::string& commandLine, const std::string& environment) {
    waitingRuns.push_back(AlertRun{commandLine, environment});
}

bool StartAlertRuns(std::vector<DWORD>& failed) {
    for (size_t i = 0; i < runningRuns.size();) {
        if (WaitForSingleObject(runningRuns[i], 0) == WAIT_TIMEOUT) {
            ++i;
            continue;
        }
        CloseHandle(runningRuns[i]);
        runningRuns.erase(runningRuns.begin() + static_cast<std::ptrdiff_t>(i));
    }
    while (runningRuns.size() < MOST_ALERT_RUNS && !waitingRuns.empty()) {
        AlertRun run = std::move(waitingRuns.front());
        waitingRuns.pop_front();
        STARTUPINFOA startup;
        ZeroMemory(&startup, sizeof startup);
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started;
        ZeroMemory(&started, sizeof started);
        std::string line = run.CommandLine;  // CreateProcess may write into it
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, &run.Environment[0], nullptr,
                            &startup, &started)) {
            failed.push_back(GetLastError());
            continue;
        }
        CloseHandle(started.hThread);
        runningRuns.push_back(started.hProcess);
    }
    return !runningRuns.empty() || !waitingRuns.empty();
}

void QueueWebhook(HWND window, const std::string& address, const std::string& body) {
    if (!webhookThread) {
        InitializeCriticalSection(&webhookLock);
        webhookWake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        webhookThread = CreateThread(nullptr, 0, WebhookWorker, nullptr, 0, nullptr);
        if (!webhookThread) {
            PostMessageA(window, WM_WEBHOOKFAILED, GetLastError(), 0);
            return;
        }
    }
    EnterCriticalSection(&webhookLock);
    webhookPosts.push_back(WebhookPost{window, address, body, false, GetTickCount()});
    LeaveCriticalSection(&webhookLock);
    SetEvent(webhookWake);
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
