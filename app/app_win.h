// The program's process-wide state and the main window's procedure.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include "settings/settings.h"
#include "status/poll.h"
#include "view/render_win.h"

extern const char* const MAIN_CLASS_NAME;

struct App {
    HINSTANCE Instance = nullptr;
    ATOM ClassAtom = 0;
    HICON LargeClassIcon = nullptr;
    HICON SmallClassIcon = nullptr;
    SOCKET StatusSocket = INVALID_SOCKET;
    Settings UserSettings;
    StatusClient Client;
    ReportCanvas Canvas{};
    HICON IconUp = nullptr;
    HICON IconDown = nullptr;
    HICON IconNeutral = nullptr;
    UINT TaskbarCreated = 0;     // the shell's broadcast after Explorer restarts
    bool SavedAtSessionEnd = false;
};

extern App TheApp;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Registers "TallowinDisplayClass" with its icons; 0 on failure.
ATOM RegisterMainClass(App& app);
// Saves the settings to the current user's key.
void SaveUserSettings(const Settings& settings);
// The whole program: start-up, the message loop and shutdown. Always returns 0.
int RunTallowin(HINSTANCE instance);
