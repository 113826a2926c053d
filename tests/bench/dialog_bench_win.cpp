// Opens and closes the Options and About dialogs 200 times each and reports the process's open
// handles; stderr carries markers for Wine's GDI trace (WINEDEBUG=+gdi), which counts GDI objects.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "res/resource.h"
#include "app/dialogs_win.h"
#include "tests/win/loopback_peer.h"

namespace {
// Cancels whichever dialog of this thread is showing, as the user's Esc would.
BOOL CALLBACK CancelDialog(HWND w, LPARAM) {
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(w)) PostMessageA(w, WM_COMMAND, IDCANCEL, 0);
    return TRUE;
}
void CALLBACK CancelShownDialog(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), CancelDialog, 0);
}

void Mark(const char* what, int opened) {
    std::fprintf(stderr, "MARK %s %d\n", what, opened);
    std::fflush(stderr);
    std::printf("%-7s after %3d opens: %d handles\n", what, opened, OpenHandles());
}
}  // namespace

int main() {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    Settings settings;
    SetDefaultSettings(settings);
    settings.PrimaryServer = "Luclin";
    const std::vector<ServerEntry> servers{{"Luclin", 1402, 41}, {"Vox", -1, 0}, {"Xegony", 1256, 40}};
    HWND owner = CreateWindowExA(0, "STATIC", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300, nullptr, nullptr,
                                 instance, nullptr);
    SetTimer(nullptr, 0, 20, CancelShownDialog);
    for (const char* which : {"Options", "About"}) {
        const bool options = which[0] == 'O';
        for (int opened = 1; opened <= 200; ++opened) {
            if (options) RunOptionsDialog(instance, owner, settings, servers);
            else RunAboutDialog(instance, owner);
            if (opened == 1 || opened == 100 || opened == 200) Mark(which, opened);
        }
    }
    DestroyWindow(owner);
    return 0;
}
