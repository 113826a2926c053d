// The main window's two pop-up menus and its eight menu commands.
#include "app/commands_win.h"

#include <shellapi.h>

#include "app/app_win.h"
#include "app/commands.h"
#include "res/resource.h"
#include "app/dialogs_win.h"
#include "status/socket_win.h"

namespace {
void ShowCommandError(HWND window, const char* text) { MessageBoxA(window, text, "Error", MB_ICONWARNING); }

// Opens the pop-up of menu resource IDM_POPUPS at a screen point; the command chosen arrives as
// WM_COMMAND once the menu has closed.
void TrackPopup(HWND window, POINT at, UINT defaultItem, bool withShow) {
    HMENU menu = LoadMenuA(TheApp.Instance, MAKEINTRESOURCEA(IDM_POPUPS));
    HMENU popup = GetSubMenu(menu, 0);
    if (!withShow) DeleteMenu(popup, ID_SHOW, MF_BYCOMMAND);
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

void OpenAddress(HWND window, const char* address, const char* failure) {
    const INT_PTR result = reinterpret_cast<INT_PTR>(ShellExecuteA(window, "open", address, nullptr, nullptr, SW_SHOW));
    if (result < 32) ShowCommandError(window, failure);
}
}  // namespace

void ShowClientMenu(HWND window, LPARAM clickPoint) {
    POINT at{static_cast<short>(LOWORD(clickPoint)), static_cast<short>(HIWORD(clickPoint))};
    ClientToScreen(window, &at);
    TrackPopup(window, at, ID_OPTIONS, false);
}

void ShowTrayMenu(HWND window) {
    POINT at{0, 0};
    GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    SetForegroundWindow(window);
    TrackPopup(window, at, ID_SHOW, true);
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
    }
    return true;
}
