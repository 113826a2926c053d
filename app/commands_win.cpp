// The main window's two pop-up menus and its eight menu commands.
#include "app/commands_win.h"

#include <shellapi.h>

#include <algorithm>

#include "app/app_win.h"
#include "app/commands.h"
#include "res/resource.h"
#include "app/dialogs_win.h"
#include "app/tray_win.h"
#include "status/socket_win.h"

namespace {
void ShowCommandError(HWND window, const char* text) { MessageBoxA(window, text, "Error", MB_ICONWARNING); }

// The alert items: the pause, or the resume with the time the pause ends, and the recent changes
// in the submenu just above it.
void ShowAlertItems(HMENU popup) {
    App& app = TheApp;
    if (AlertsPaused(app.Client.Alerts, GetTickCount())) {
        const std::string resume = std::string("&Resume alerts (paused until ") + app.PausedUntil + ")";
        ModifyMenuA(popup, ID_PAUSE_ALERTS, MF_BYCOMMAND | MF_STRING, ID_PAUSE_ALERTS, resume.c_str());
    }
    const std::vector<std::string>& recent = app.Client.Alerts.Recent;
    for (int i = 1; i < GetMenuItemCount(popup); ++i) {
        if (GetMenuItemID(popup, i) != ID_PAUSE_ALERTS) continue;
        HMENU changes = GetSubMenu(popup, i - 1);
        if (!changes || recent.empty()) return;
        DeleteMenu(changes, 0, MF_BYPOSITION);
        for (const std::string& change : recent)
            AppendMenuA(changes, MF_STRING | MF_GRAYED, 0, MenuText(change).c_str());
        return;
    }
}

// "Watch NAME" and a separator on top of the client menu, for the server whose line was clicked.
void ShowWatchItem(HMENU popup, const std::string& server) {
    const Settings& settings = TheApp.UserSettings;
    UINT flags = MF_BYPOSITION | MF_STRING;
    if (IsWatched(settings, server)) flags |= MF_CHECKED;
    const bool full = settings.WatchedServers.size() >= WATCHED_SERVERS_MAX || server.size() > WATCHED_NAME_MAX;
    if (server == settings.PrimaryServer || (!IsWatched(settings, server) && full)) flags |= MF_GRAYED;
    InsertMenuA(popup, 0, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
    // Its own minimum watches it too, so it needs room on the watch list as well.
    const auto& own = settings.ServerMinimums;
    const bool ownFull = own.size() >= WATCHED_SERVERS_MAX &&
                         std::none_of(own.begin(), own.end(), [&](const ServerMinimum& entry) { return entry.Name == server; });
    const bool minimumGrayed = ownFull || server.size() > WATCHED_NAME_MAX || (!IsWatched(settings, server) && full);
    InsertMenuA(popup, 0, MF_BYPOSITION | MF_STRING | (minimumGrayed ? MF_GRAYED : 0), ID_SERVER_MINIMUM,
                ("&Minimum for " + MenuText(server) + "...").c_str());
    InsertMenuA(popup, 0, flags, ID_WATCH_SERVER, ("&Watch " + MenuText(server)).c_str());
}

// Opens the pop-up of menu resource IDM_POPUPS at a screen point; the command chosen arrives as
// WM_COMMAND once the menu has closed.
void TrackPopup(HWND window, POINT at, UINT defaultItem, bool withShow) {
    HMENU menu = LoadMenuA(TheApp.Instance, MAKEINTRESOURCEA(IDM_POPUPS));
    HMENU popup = GetSubMenu(menu, 0);
    if (!withShow) DeleteMenu(popup, ID_SHOW, MF_BYCOMMAND);
    ShowAlertItems(popup);
    if (!withShow && !TheApp.MenuServer.empty()) ShowWatchItem(popup, TheApp.MenuServer);
    SetMenuDefaultItem(popup, defaultItem, FALSE);
    TrackPopupMenuEx(popup, TPM_VERTICAL, at.x, at.y, window, nullptr);
    // The shell's advice for tray menus: a message after the menu lets it close properly.
    if (withShow) PostMessageA(window, WM_USER, 0, 0);
    DestroyMenu(menu);
}

void OnShow(HWND window) { PostMessageA(window, WM_TRAYNOTIFY, 0, WM_LBUTTONUP); }

void OnOptions(HWND window) {
    if (RunOptionsDialog(TheApp.Instance, window, TheApp.UserSettings, TheApp.Client.Decode.ServerList) != IDOK)
        return;
    ShowReportAgain();  // the sort order or the primary server may have changed
    ShowTrayAgain();    // and with it, the minimum or the count on the icon
    ReopenStatusLink(window);  // and the status host
    char program[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, program, sizeof program);
    if (!RewriteRunEntry(HKEY_CURRENT_USER, RUN_KEY, TheApp.UserSettings.RunOnStartup, program))
        ShowCommandError(window, "Unable to open run key");
}

void OnLaunch(HWND window) {
    const std::string& exe = TheApp.UserSettings.EverquestExe;
    if (exe.empty()) {
        ShowCommandError(window, "EverQuest exe path not specified");
        return;
    }
    const std::string directory = LaunchDirectory(exe);
    STARTUPINFOA startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started;
    ZeroMemory(&started, sizeof started);
    // An empty directory text fails the call outright; without one the game inherits ours.
    if (!CreateProcessA(exe.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &started)) {
        ShowCommandError(window, "Unable to launch specified exe");
        return;
    }
    // The game runs on its own; nothing here waits for it or needs its handles.
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
}

void OnPauseAlerts() {
    App& app = TheApp;
    if (AlertsPaused(app.Client.Alerts, GetTickCount())) {
        ResumeAlerts(app.Client.Alerts);
        return;
    }
    PauseAlerts(app.Client.Alerts, GetTickCount());
    FormatLocalClock(app.PausedUntil, static_cast<int>(ALERT_PAUSE_MS / 60000));
}

void OnServerMinimum(HWND window) {
    const std::string server = TheApp.MenuServer;  // a copy: another menu may open while the dialog runs
    if (RunMinimumDialog(TheApp.Instance, window, TheApp.UserSettings, server) != IDOK) return;
    MarkWatchedRows();
    ShowTrayAgain();
}

void OnWatchServer() {
    ToggleWatched(TheApp.UserSettings, TheApp.MenuServer);
    MarkWatchedRows();
}

void OpenAddress(HWND window, const char* address, const char* failure) {
    const INT_PTR result = reinterpret_cast<INT_PTR>(ShellExecuteA(window, "open", address, nullptr, nullptr, SW_SHOW));
    if (result < 32) ShowCommandError(window, failure);
}
}  // namespace

void ShowClientMenu(HWND window, LPARAM clickPoint) {
    POINT at{static_cast<short>(LOWORD(clickPoint)), static_cast<short>(HIWORD(clickPoint))};
    const int server = ServerAtPoint(at.y);
    TheApp.MenuServer = server < 0 ? std::string() : TheApp.Client.Decode.ServerList[server].Name;
    ClientToScreen(window, &at);
    TrackPopup(window, at, ID_OPTIONS, false);
}

void ShowClientMenuFromKeyboard(HWND window) {
    POINT at{TheApp.Canvas.Margin, TheApp.Canvas.Margin};
    TheApp.MenuServer.clear();
    ClientToScreen(window, &at);
    TrackPopup(window, at, ID_OPTIONS, false);
}

void ShowTrayMenu(HWND window, const POINT* anchor) {
    POINT at{0, 0};
    if (anchor) at = *anchor;
    else GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    TrackPopup(window, at, ID_SHOW, true);
    // Closed with Esc (no command chosen, no other window clicked): the keyboard goes back to the tray.
    MSG chosen;
    if (TrayIconVersion == NOTIFYICON_VERSION_4 && GetForegroundWindow() == window &&
        !PeekMessageA(&chosen, window, WM_COMMAND, WM_COMMAND, PM_NOREMOVE)) {
        FocusTray(window);
    }
}

bool RunMenuCommand(HWND window, WPARAM wParam) {
    if (!IsMenuCommand(wParam)) return false;
    switch (wParam) {
    case ID_SHOW: OnShow(window); break;
    case ID_OPTIONS: OnOptions(window); break;
    case ID_LAUNCH: OnLaunch(window); break;
    case ID_VISIT: OpenAddress(window, WEBPAGE_URL, "Unable to launch url"); break;
    case ID_CHAT_BANNER: SendRequest(TheApp.StatusSocket, REQ_BANNER); break;
    case ID_EMAIL: OpenAddress(window, MAILTO_URL, "Unable to launch mailto'"); break;
    case ID_ABOUT: RunAboutDialog(TheApp.Instance, window); break;
    case ID_CLOSE: DestroyWindow(window); break;
    case ID_PAUSE_ALERTS: OnPauseAlerts(); break;
    case ID_WATCH_SERVER: OnWatchServer(); break;
    case ID_SERVER_MINIMUM: OnServerMinimum(window); break;
    }
    return true;
}
