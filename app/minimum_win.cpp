// The dialog that sets a server's own minimum of players, from the line of the server in the window.
#include <string>

#include "app/app_win.h"
#include "app/dialogs_win.h"
#include "res/resource.h"

namespace {
// The dialog's server, and the settings it edits, from its request to its end.
std::string minimumServer;
Settings* minimumSettings;

INT_PTR OnMinimumInit(HWND dialog) {
    OpenDialog = dialog;
    PlaceDialog(dialog);
    SetWindowTextA(dialog, ("Minimum for " + minimumServer).c_str());
    const auto& own = minimumSettings->ServerMinimums;
    for (const ServerMinimum& entry : own)
        if (entry.Name == minimumServer) SetDlgItemInt(dialog, IDC_SERVER_MINIMUM, static_cast<UINT>(entry.Players), FALSE);
    return TRUE;
}

// An empty field goes back to the Options minimum; a number watches the server too.
void OnMinimumOk(HWND dialog) {
    BOOL valid = FALSE;
    const UINT minimum = GetDlgItemInt(dialog, IDC_SERVER_MINIMUM, &valid, FALSE);
    const bool empty = GetWindowTextLengthA(GetDlgItem(dialog, IDC_SERVER_MINIMUM)) == 0;
    Settings& s = *minimumSettings;
    if (!empty && (!valid || minimum > SERVER_MINIMUM_MAX || !SetServerMinimum(s, minimumServer, static_cast<int32_t>(minimum)))) {
        RefuseField(dialog, IDC_SERVER_MINIMUM, "Must specify a valid minimum number of players");
        return;
    }
    if (empty) SetServerMinimum(s, minimumServer, -1);
    else if (!IsWatched(s, minimumServer)) ToggleWatched(s, minimumServer);
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK MinimumDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return OnMinimumInit(dialog);
    case WM_COMMAND:
        if (wParam == IDOK) OnMinimumOk(dialog);
        if (wParam == IDCANCEL) EndDialog(dialog, IDCANCEL);
        return FALSE;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return FALSE;
    default: return FALSE;
    }
}
}  // namespace

INT_PTR RunMinimumDialog(HINSTANCE instance, HWND owner, Settings& settings, const std::string& server) {
    // The dialog already open keeps what it edits; a second request only brings it forward.
    if (!OpenDialog || !IsWindow(OpenDialog)) {
        minimumServer = server;
        minimumSettings = &settings;
    }
    return RunOneDialog(instance, IDD_MINIMUM, owner, MinimumDialogProc);
}
