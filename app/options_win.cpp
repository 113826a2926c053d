// The Options dialog, the placement rule both dialogs share, and the start-with-Windows entry.
#include "app/dialogs_win.h"

#include <cstdlib>
#include <string>

#include "res/resource.h"
#include "app/alerts_win.h"
#include "app/app_win.h"
#include "app/dialogs.h"
#include "status/deliver.h"
#include "status/libraries_win.h"
#include "status/socket_win.h"

const char* const RUN_KEY = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

void RefuseField(HWND dialog, int id, const char* why) {
    MessageBoxA(dialog, why, "Error", MB_OK | MB_ICONWARNING);
    SendMessageA(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(dialog, id)), TRUE);
}

namespace {
// What the running dialog edits: the dialog procedure has no other way to reach them, since
// the dialog is created with no parameter.
Settings* editedSettings;
const std::vector<ServerEntry>* offeredServers;
// What the Alerts dialog chose: it reaches the settings with the Options dialog's OK.
struct {
    std::string Command, Webhook;
    bool Sound;
} alertChoices;
// What the Status service dialog chose: it reaches the settings with the Options dialog's OK too.
std::string statusHostChoice;

BOOL WINAPI ChooseWithCommonDialog(OPENFILENAMEA* request) {
    const FileChooser open = reinterpret_cast<FileChooser>(CommonDialogCall("GetOpenFileNameA"));
    return open ? open(request) : FALSE;
}

std::string ItemText(HWND dialog, int id) {
    char text[SETTINGS_TEXT_SIZE] = "";
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// The whole text of a field, however long, for the fields that refuse a text too long to keep.
std::string WholeItemText(HWND dialog, int id) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(GetDlgItem(dialog, id))) + 1, '\0');
    text.resize(static_cast<size_t>(GetDlgItemTextA(dialog, id, &text[0], static_cast<int>(text.size()))));
    return text;
}

// A box and the focus on the field when its text is too long to keep; false then.
bool FitsOrRefused(HWND dialog, int id, const std::string& text, size_t most, const char* refusal) {
    if (text.size() <= most) return true;
    RefuseField(dialog, id, refusal);
    return false;
}

bool IsChecked(HWND dialog, int id) { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }

LRESULT AddServer(HWND dialog, const std::string& name) {
    return SendDlgItemMessageA(dialog, IDC_PRIMARY_SERVER, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

// The servers in the list's sorted order, then "(none)" inserted on top, where sorting cannot move it.
void FillPrimaryServers(HWND dialog, const std::vector<ServerEntry>& servers, const std::string& primary) {
    for (const std::string& name : OtherServerNames(servers, primary)) AddServer(dialog, name);
    // Added last, its place in the sorted list is final.
    const LRESULT at = primary.empty() ? -1 : AddServer(dialog, primary);
    SendDlgItemMessageA(dialog, IDC_PRIMARY_SERVER, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(NO_PRIMARY_TEXT));
    SendDlgItemMessageA(dialog, IDC_PRIMARY_SERVER, CB_SETCURSEL, at >= 0 ? at + 1 : 0, 0);
}

std::string ChosenPrimaryServer(HWND dialog) {
    if (SendDlgItemMessageA(dialog, IDC_PRIMARY_SERVER, CB_GETCURSEL, 0, 0) <= 0) return std::string();
    return ItemText(dialog, IDC_PRIMARY_SERVER);
}

INT_PTR OnOptionsInit(HWND dialog) {
    const Settings& s = *editedSettings;
    OpenDialog = dialog;
    PlaceDialog(dialog);
    SetDlgItemTextA(dialog, IDC_EXE_PATH, s.EverquestExe.c_str());
    FillPrimaryServers(dialog, *offeredServers, s.PrimaryServer);
    SendDlgItemMessageA(dialog, SortRadioFor(s.SortOrder), BM_SETCHECK, BST_CHECKED, 0);
    if (s.RunOnStartup) SendDlgItemMessageA(dialog, IDC_RUN_ON_STARTUP, BM_SETCHECK, BST_CHECKED, 0);
    if (s.NotifyChanges) SendDlgItemMessageA(dialog, IDC_NOTIFY_CHANGES, BM_SETCHECK, BST_CHECKED, 0);
    if (s.TrayShowsCount) SendDlgItemMessageA(dialog, IDC_TRAY_SHOWS_COUNT, BM_SETCHECK, BST_CHECKED, 0);
    alertChoices = {s.AlertCommand, s.AlertWebhook, s.AlertSound};
    statusHostChoice = s.StatusHost;
    SetDlgItemInt(dialog, IDC_MIN_PLAYERS, static_cast<UINT>(s.MinPlayers), TRUE);
    return TRUE;
}

void OnOptionsOk(HWND dialog) {
    BOOL valid = FALSE;
    const int minimum = static_cast<int>(GetDlgItemInt(dialog, IDC_MIN_PLAYERS, &valid, TRUE));
    // A pasted negative number would count a DOWN server as up.
    if (!valid || minimum < 0) {
        RefuseField(dialog, IDC_MIN_PLAYERS, "Must specify a valid minimum number of players");
        return;
    }
    Settings& s = *editedSettings;
    s.MinPlayers = minimum;
    s.EverquestExe = ItemText(dialog, IDC_EXE_PATH);
    s.PrimaryServer = ChosenPrimaryServer(dialog);
    s.SortOrder = SortOrderFromRadios(IsChecked(dialog, IDC_SORT_NONE), IsChecked(dialog, IDC_SORT_NAME));
    s.RunOnStartup = IsChecked(dialog, IDC_RUN_ON_STARTUP);
    s.NotifyChanges = IsChecked(dialog, IDC_NOTIFY_CHANGES);
    s.TrayShowsCount = IsChecked(dialog, IDC_TRAY_SHOWS_COUNT);
    s.AlertCommand = alertChoices.Command;
    s.AlertWebhook = alertChoices.Webhook;
    s.AlertSound = alertChoices.Sound;
    s.StatusHost = statusHostChoice;
    EndDialog(dialog, IDOK);
}

// The chosen path goes into the field only: like every other change in the dialog, it reaches
// the settings with OK, and Cancel discards it.
void OnBrowse(HWND dialog) {
    char file[MAX_PATH] = "";
    GetDlgItemTextA(dialog, IDC_EXE_PATH, file, sizeof file);
    OPENFILENAMEA request;
    FillFileRequest(request, dialog, "Executable Programs (*.exe)\0*.exe\0", file, "Select the EverQuest Executable",
                    OFN_LONGNAMES | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, "exe");
    if (ChooseKeepingDirectory(ChooseGameFile, request)) SetDlgItemTextA(dialog, IDC_EXE_PATH, file);
}

// --- the Alerts dialog, opened from Options --------------------------------------------------
INT_PTR OnAlertsInit(HWND dialog) {
    SetDlgItemTextA(dialog, IDC_ALERT_COMMAND, alertChoices.Command.c_str());
    SetDlgItemTextA(dialog, IDC_ALERT_WEBHOOK, alertChoices.Webhook.c_str());
    if (alertChoices.Sound) SendDlgItemMessageA(dialog, IDC_ALERT_SOUND, BM_SETCHECK, BST_CHECKED, 0);
    return TRUE;
}

// An address that is there must be one the webhook can take; false (with the box shown) when not.
bool CheckWebhookAddress(HWND dialog) {
    const std::string address = WholeItemText(dialog, IDC_ALERT_WEBHOOK);
    if (!FitsOrRefused(dialog, IDC_ALERT_WEBHOOK, address, ALERT_TEXT_MAX,
                       "Must specify a webhook address of at most 2048 characters"))
        return false;
    if (address.empty() || IsWebhookAddress(address)) return true;
    RefuseField(dialog, IDC_ALERT_WEBHOOK, "Must specify an http or https address for the webhook");
    return false;
}

bool CheckAlertCommand(HWND dialog) {
    return FitsOrRefused(dialog, IDC_ALERT_COMMAND, WholeItemText(dialog, IDC_ALERT_COMMAND), ALERT_TEXT_MAX,
                         "Must specify a command of at most 2048 characters");
}

void OnAlertsOk(HWND dialog) {
    if (!CheckAlertCommand(dialog) || !CheckWebhookAddress(dialog)) return;
    alertChoices = {WholeItemText(dialog, IDC_ALERT_COMMAND), WholeItemText(dialog, IDC_ALERT_WEBHOOK),
                    IsChecked(dialog, IDC_ALERT_SOUND)};
    EndDialog(dialog, IDOK);
}

// The program chosen goes into the field quoted, so that a path with spaces stays one program.
void OnBrowseCommand(HWND dialog) {
    char file[MAX_PATH] = "";
    OPENFILENAMEA request;
    FillFileRequest(request, dialog, "Programs (*.exe;*.bat;*.cmd)\0*.exe;*.bat;*.cmd\0All files (*.*)\0*.*\0", file,
                    "Select the Program to Run", OFN_LONGNAMES | OFN_FILEMUSTEXIST | OFN_HIDEREADONLY, "exe");
    if (ChooseKeepingDirectory(ChooseGameFile, request)) SetDlgItemTextA(dialog, IDC_ALERT_COMMAND, RunEntryText(file).c_str());
}

void OnAlertsCommand(HWND dialog, WPARAM wParam) {
    HWND main = TheApp.Window;  // where the runs' timer and the webhook's reports go
    switch (wParam) {
    case IDOK: OnAlertsOk(dialog); break;
    case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
    case IDC_BROWSE_COMMAND: OnBrowseCommand(dialog); break;
    case IDC_TEST_COMMAND:
        if (CheckAlertCommand(dialog) && !WholeItemText(dialog, IDC_ALERT_COMMAND).empty())
            TestAlertCommand(main, WholeItemText(dialog, IDC_ALERT_COMMAND));
        break;
    case IDC_TEST_WEBHOOK:
        if (CheckWebhookAddress(dialog) && !WholeItemText(dialog, IDC_ALERT_WEBHOOK).empty())
            TestWebhook(main, WholeItemText(dialog, IDC_ALERT_WEBHOOK));
        break;
    }
}

INT_PTR CALLBACK AlertsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return OnAlertsInit(dialog);
    case WM_COMMAND: OnAlertsCommand(dialog, wParam); return FALSE;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return FALSE;
    default: return FALSE;
    }
}

// --- the Status service dialog, opened from Options ------------------------------------------
INT_PTR OnStatusHostInit(HWND dialog) {
    SendDlgItemMessageA(dialog, IDC_STATUS_HOST, EM_LIMITTEXT, SETTINGS_TEXT_SIZE - 1, 0);
    SetDlgItemTextA(dialog, IDC_STATUS_HOST, statusHostChoice.c_str());
    const std::string builtIn = BuiltInStatusHost();
    std::string note = builtIn.empty() ? "This copy of Tallowin has no built-in host: name the service's host."
                                       : "Leave it empty for the built-in host, " + builtIn + ".";
    const char* over = std::getenv("TALLOWIN_STATUS_HOST");
    if (over && *over) note += std::string(" TALLOWIN_STATUS_HOST (") + over + ") is set and is asked instead.";
    SetDlgItemTextA(dialog, IDC_STATUS_HOST_NOTE, note.c_str());
    return TRUE;
}

void OnStatusHostOk(HWND dialog) {
    const std::string text = ItemText(dialog, IDC_STATUS_HOST);
    std::string host;
    uint16_t port = 0;
    if (!text.empty() && !SplitStatusAddress(text, host, port)) {
        RefuseField(dialog, IDC_STATUS_HOST,
                    "Must specify a host name or IPv4 address, and :port if the service's port is not 24252");
        return;
    }
    statusHostChoice = text;
    EndDialog(dialog, IDOK);
}

INT_PTR CALLBACK StatusHostDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return OnStatusHostInit(dialog);
    case WM_COMMAND:
        if (wParam == IDOK) OnStatusHostOk(dialog);
        if (wParam == IDCANCEL) EndDialog(dialog, IDCANCEL);
        return FALSE;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return FALSE;
    default: return FALSE;
    }
}

// A dialog owned by Options, which it disables while it runs: there is only ever one.
void RunOwnedDialog(HWND options, int id, DLGPROC procedure) {
    DialogBoxParamA(reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(options, GWLP_HINSTANCE)), MAKEINTRESOURCEA(id),
                    options, procedure, 0);
}

void OnOptionsCommand(HWND dialog, WPARAM wParam) {
    switch (wParam) {
    case IDOK: OnOptionsOk(dialog); break;
    case IDCANCEL: PostMessageA(dialog, WM_CLOSE, 0, 0); break;
    case IDC_BROWSE: OnBrowse(dialog); break;
    case IDC_ALERTS: RunOwnedDialog(dialog, IDD_ALERTS, AlertsDialogProc); break;
    case IDC_STATUS_SERVICE: RunOwnedDialog(dialog, IDD_STATUS_HOST, StatusHostDialogProc); break;
    }
}
}  // namespace

AnyCall CommonDialogCall(const char* name) {
    static HMODULE library = nullptr;
    if (!library) library = LoadSystemLibrary("comdlg32.dll");
    return library ? reinterpret_cast<AnyCall>(GetProcAddress(library, name)) : nullptr;
}

FileChooser ChooseGameFile = ChooseWithCommonDialog;
HWND OpenDialog;

void FillFileRequest(OPENFILENAMEA& request, HWND owner, const char* filter, char* file, const char* title,
                     DWORD flags, const char* extension) {
    ZeroMemory(&request, sizeof request);
    request.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
    request.hwndOwner = owner;
    request.lpstrFilter = filter;
    request.lpstrFile = file;
    request.nMaxFile = MAX_PATH;
    request.lpstrTitle = title;
    request.Flags = flags;
    request.lpstrDefExt = extension;
}

BOOL ChooseKeepingDirectory(FileChooser chooser, OPENFILENAMEA& request) {
    char directory[MAX_PATH] = "";
    const DWORD kept = GetCurrentDirectoryA(sizeof directory, directory);
    const BOOL chosen = chooser(&request);
    if (kept > 0 && kept < sizeof directory) SetCurrentDirectoryA(directory);
    return chosen;
}

INT_PTR RunOneDialog(HINSTANCE instance, int id, HWND owner, DLGPROC procedure) {
    if (OpenDialog && IsWindow(OpenDialog)) {
        SetForegroundWindow(OpenDialog);
        return IDCANCEL;
    }
    const INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(id), owner, procedure, 0);
    OpenDialog = nullptr;
    return result;
}

INT_PTR RunOptionsDialog(HINSTANCE instance, HWND owner, Settings& settings, const std::vector<ServerEntry>& servers) {
    // The dialog already open keeps what it edits; a second request only brings it forward.
    if (!OpenDialog || !IsWindow(OpenDialog)) {
        editedSettings = &settings;
        offeredServers = &servers;
    }
    return RunOneDialog(instance, IDD_OPTIONS, owner, OptionsDialogProc);
}

INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return OnOptionsInit(dialog);
    case WM_COMMAND: OnOptionsCommand(dialog, wParam); return FALSE;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return FALSE;
    default: return FALSE;
    }
}

void PlaceDialog(HWND dialog) {
    if (IsWindowVisible(GetParent(dialog))) return;
    RECT box, desktop;
    GetWindowRect(dialog, &box);
    GetWindowRect(GetDesktopWindow(), &desktop);
    const int x = CentredDialogLeft(desktop.right - desktop.left, box.right - box.left);
    SetWindowPos(dialog, nullptr, x, DIALOG_TOP_WHEN_OWNER_HIDDEN, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool RewriteRunEntry(HKEY root, const char* path, bool run, const char* programPath) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(root, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegDeleteValueA(key, "Tallowin");
    if (run) {
        const std::string text = RunEntryText(programPath);
        RegSetValueExA(key, "Tallowin", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                       static_cast<DWORD>(text.size() + 1));
    }
    RegCloseKey(key);
    return true;
}
