// The main window: its procedure, its drawing state and icons, the tray and the poll tick's host.
#include "app/app_win.h"

#include "app/accessible_win.h"
#include "app/alerts_win.h"
#include "app/commands_win.h"
#include "app/graph_win.h"
#include "app/tray_win.h"
#include "res/resource.h"
#include "status/history_win.h"
#include "status/deliver_win.h"
#include "status/order.h"
#include "status/socket_win.h"
#include "view/count_icon.h"
#include "view/layout.h"

const char* const MAIN_CLASS_NAME = "TallowinDisplayClass";

namespace {
const char* const WAITING_FOR_DATA_TEXT = "Waiting for server data...";

// The frame the system draws small icons at, for the tray too, so that nothing is scaled.
HICON LoadSmallIcon(HINSTANCE instance, int id) {
    return static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

HICON IconFor(TrayIcon icon) {
    switch (icon) {
    case TrayIcon::Up: return TheApp.IconUp;
    case TrayIcon::Down: return TheApp.IconDown;
    default: return TheApp.IconNeutral;
    }
}

// The tray shows the state's icon, or with the count asked for, that icon with the primary server's
// players on it, made again only when what it shows changes; the one it replaces is destroyed once
// the shell holds the new one.
void ShowTrayState(HWND window, TrayIcon state, const char* tip, int32_t players) {
    App& app = TheApp;
    HICON icon = IconFor(state);
    HICON retired = nullptr;
    if (app.UserSettings.TrayShowsCount && players >= 0 && state != TrayIcon::Neutral) {
        const std::string text = TrayCountText(players);
        if (app.CountIconBase != icon || app.CountIconText != text || !app.CountIcon) {
            HICON made = MakeCountIcon(icon, GetSystemMetrics(SM_CXSMICON), text);
            if (made) {
                retired = app.CountIcon;
                app.CountIcon = made;
                app.CountIconBase = icon;
                app.CountIconText = text;
            }
        }
        if (app.CountIconBase == icon && app.CountIconText == text) icon = app.CountIcon;
    } else {
        retired = app.CountIcon;
        app.CountIcon = nullptr;
    }
    SetTrayIcon(window, NIM_MODIFY, icon, tip);
    if (retired) DestroyIcon(retired);
}

// The poll tick's view of this window.
PollHost WindowPollHost(HWND window) {
    return PollHost{
        window,
        [](void* w, unsigned id) { KillTimer(static_cast<HWND>(w), id); },
        [](void*, std::string& host) { return OpenStatusLink(TheApp, host); },
        [](void* w) {
            const int result = WSAAsyncSelect(TheApp.StatusSocket, static_cast<HWND>(w), WM_SOCKETNOTIFY, FD_READ);
            return result == SOCKET_ERROR ? WSAGetLastError() : 0;
        },
        [](void* w, const char* text) {
            MessageBoxA(static_cast<HWND>(w), text, "Error", MB_ICONWARNING);
            PostMessageA(static_cast<HWND>(w), WM_CLOSE, 0, 0);
        },
        [](void*) -> uint32_t { return GetTickCount(); },
        [](void*) { return CurrentMinute(); },
        [](void*, const unsigned char* code) { SendRequest(TheApp.StatusSocket, code); },
        [](void* w, TrayIcon icon, const char* tip, int32_t players) { ShowTrayState(static_cast<HWND>(w), icon, tip, players); },
        [](void*) { return UserIsBusy(); },
        [](void* w, const AlertNotice& notice) {
            return ShowTrayBalloon(static_cast<HWND>(w), notice.Title, notice.Text, TheApp.UserSettings.AlertSound) != FALSE;
        },
        [](void* w, const AlertNotice& notice) { DeliverNotice(static_cast<HWND>(w), notice); },
        [](void*, char* hhmm) { FormatLocalClock(hhmm, 0); },
        [](void*, const char* text, bool report) { ShowReport(text, report); },
        [](void* w, unsigned event, uint32_t interval) -> unsigned {
            return static_cast<unsigned>(SetTimer(static_cast<HWND>(w), event, interval, nullptr));
        }};
}

// The outline shows on the keyboard's line once the keyboard has been used in the window (or the
// system shows keyboard cues always), while the window has the focus.
void PlaceFocusLine() {
    App& app = TheApp;
    BOOL always = FALSE;
    SystemParametersInfoA(SPI_GETKEYBOARDCUES, 0, &always, 0);
    const bool shown = (app.FocusCues || always) && app.SelectedRow >= 0 && GetFocus() == app.Window;
    app.Canvas.FocusLine = shown ? app.SelectedRow + app.Spoken.FirstDrawnLine : -1;
}
}  // namespace

void ShowReport(const char* text, bool report) {
    App& app = TheApp;
    const std::vector<ServerEntry>& servers = app.Client.Decode.ServerList;
    app.ShowingReport = report;
    app.ReportRows.clear();
    const char* shown = text;
    // The decoder's text keeps the service's order; the lines drawn follow the chosen one.
    if (report) {
        ServerDisplayOrder(servers, app.UserSettings.SortOrder, app.ReportRows);
        if (ReorderReportLines(text, servers, app.ReportRows, app.DisplayText)) shown = app.DisplayText.c_str();
        else app.ReportRows.clear();
    }
    const int wasWidth = app.Canvas.ReportWidth, wasHeight = app.Canvas.ReportHeight;
    RenderReport(app.Canvas, shown);
    // A shorter or narrower report (one gone stale) leaves nothing of the longer one on the screen.
    if (app.Canvas.ReportWidth < wasWidth || app.Canvas.ReportHeight < wasHeight) InvalidateRect(app.Window, nullptr, FALSE);
    // The keyboard's line stays on its server; readers hear of the lines that changed.
    std::swap(app.SpokenBefore, app.Spoken);
    SpeakReport(shown, report, servers, app.ReportRows, app.Spoken);
    const int wasRow = app.SelectedRow;
    app.SelectedRow = FollowSelection(app.Spoken, app.SelectedServer, wasRow);
    if (app.SelectedRow >= 0) app.SelectedServer = app.Spoken.ServerNames[app.SelectedRow];
    PlaceFocusLine();
    DrawGraphColumn();
    MarkWatchedRows();
    if (report) RedrawGraphWindows();
    SendReportEvents(app.Window, EventsForReport(app.SpokenBefore, wasRow, app.Spoken, app.SelectedRow), app.SelectedRow);
}

void SelectReportLine(int row) {
    App& app = TheApp;
    if (row < 0 || row >= static_cast<int>(app.Spoken.ServerNames.size())) return;
    const bool moved = row != app.SelectedRow;
    app.SelectedRow = row;
    app.SelectedServer = app.Spoken.ServerNames[row];
    PlaceFocusLine();
    CopyReport(app.Canvas);
    if (moved) SendLineFocus(app.Window, row);
}

// The lines drawn point into the server list of the last decode; a decode that left the list
// shorter, whose report is not drawn yet (a message of the shell can come in between), leaves them
// stale until it is.
void DropStaleRows() {
    App& app = TheApp;
    for (size_t server : app.ReportRows) {
        if (server >= app.Client.Decode.ServerList.size()) {
            app.ReportRows.clear();
            return;
        }
    }
}

void ShowTrayAgain() {
    App& app = TheApp;
    if (!app.ShowingReport) return;  // a waiting text stands until the next tick
    char tip[SETTINGS_TEXT_SIZE + 96];
    const TrayIcon icon = ComposeTrayTip(app.UserSettings, app.Client.Decode, tip, sizeof tip);
    ShowTrayState(app.Window, icon, tip, TrayPlayers(icon, app.Client.Decode));
}

void ShowReportAgain() {
    const char* text = TheApp.Client.ReportText;
    ShowReport(text && text[0] ? text : WAITING_FOR_DATA_TEXT, TheApp.ShowingReport);
}

// Whether the graph column would look as it was last drawn, noting what it is drawn for now.
bool GraphColumnUnchanged(int clientWidth, uint32_t minute) {
    App& app = TheApp;
    auto& drawn = app.GraphDrawnFor;
    const ReportCanvas& c = app.Canvas;
    bool same = drawn.Minute == minute && drawn.ClientWidth == clientWidth && drawn.LineHeight == c.LineHeight &&
                drawn.ReportHeight == c.ReportHeight && drawn.TextColumn == c.TextColumn && drawn.Dpi == c.Dpi &&
                drawn.Names.size() == app.ReportRows.size();
    drawn.Names.resize(app.ReportRows.size());
    for (size_t row = 0; row < app.ReportRows.size(); ++row) {
        const std::string& name = app.Client.Decode.ServerList[app.ReportRows[row]].Name;
        if (drawn.Names[row] != name) {
            same = false;
            drawn.Names[row] = name;
        }
    }
    drawn.Minute = minute;
    drawn.ClientWidth = clientWidth;
    drawn.LineHeight = c.LineHeight;
    drawn.ReportHeight = c.ReportHeight;
    drawn.TextColumn = c.TextColumn;
    drawn.Dpi = c.Dpi;
    return same;
}

void DrawGraphColumn() {
    App& app = TheApp;
    RECT client{};
    GetClientRect(app.Window, &client);
    const uint32_t minute = CurrentMinute();
    DropStaleRows();
    if (GraphColumnUnchanged(client.right, minute)) return;
    const bool hadGraphs = app.Canvas.GraphWidth > 0;
    const int perRow = GraphValuesPerRow(app.Canvas, client.right);
    const size_t rows = perRow > 0 ? app.ReportRows.size() : 0;
    app.GraphBuckets.assign(rows * static_cast<size_t>(perRow), HISTORY_NONE);
    const uint32_t first = minute - (DAY_MINUTES - 1);
    for (size_t row = 0; row < rows; ++row) {
        const ServerHistory* history =
            FindServerHistory(app.Client.Counts, app.Client.Decode.ServerList[app.ReportRows[row]].Name);
        if (history) BucketSamples(*history, first, DAY_MINUTES, false, &app.GraphBuckets[row * perRow], perRow);
    }
    RenderGraphColumn(app.Canvas, client.right, app.GraphBuckets.data(), static_cast<int>(rows), perRow);
    // Graphs that are gone leave nothing behind.
    if (hadGraphs && app.Canvas.GraphWidth == 0) InvalidateRect(app.Window, nullptr, FALSE);
}

void MarkWatchedRows() {
    App& app = TheApp;
    DropStaleRows();
    const std::vector<ServerEntry>& servers = app.Client.Decode.ServerList;
    app.Canvas.RowMarks.assign(app.ReportRows.size() + 1, 0);  // the header line has none
    for (size_t row = 0; row < app.ReportRows.size(); ++row)
        app.Canvas.RowMarks[row + 1] = IsWatched(app.UserSettings, servers[app.ReportRows[row]].Name);
    CopyReport(app.Canvas);
}

int ServerAtPoint(int clientY) {
    DropStaleRows();
    const int row = ReportRowAt(TheApp.Canvas, clientY);
    if (row < 1 || static_cast<size_t>(row) > TheApp.ReportRows.size()) return -1;
    return static_cast<int>(TheApp.ReportRows[row - 1]);
}

void FormatLocalClock(char* hhmm, int minutesFromNow) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME file;
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart += static_cast<ULONGLONG>(minutesFromNow) * 60 * 10000000;
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    FileTimeToSystemTime(&file, &now);
    wsprintfA(hhmm, "%02u:%02u", now.wHour, now.wMinute);
}

namespace {
// The stored default size is for 96 dpi; on another resolution the window starts scaled to it.
void ScaleDefaultSize(HWND window) {
    const Settings defaults;
    const Settings& s = TheApp.UserSettings;
    const int dpi = TheApp.Canvas.Dpi;
    if (dpi == BASE_DPI || s.Width != defaults.Width || s.Height != defaults.Height) return;
    SetWindowPos(window, nullptr, 0, 0, ScaleForDpi(s.Width, dpi), ScaleForDpi(s.Height, dpi),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT OnCreate(HWND window) {
    TheApp.Window = window;
    CreateReportCanvas(TheApp.Canvas, window);
    ScaleDefaultSize(window);
    RenderReport(TheApp.Canvas, WAITING_FOR_DATA_TEXT);
    TheApp.SelectedRow = -1;
    SpeakReport(WAITING_FOR_DATA_TEXT, false, {}, {}, TheApp.Spoken);
    TheApp.IconUp = LoadSmallIcon(TheApp.Instance, IDI_PRIMARY_UP);
    TheApp.IconDown = LoadSmallIcon(TheApp.Instance, IDI_PRIMARY_DOWN);
    TheApp.IconNeutral = LoadSmallIcon(TheApp.Instance, IDI_NEUTRAL);
    SetTrayIcon(window, NIM_ADD, TheApp.IconNeutral, "Tallowin");
    SetTimer(window, HISTORY_TIMER_EVENT, HISTORY_SAVE_INTERVAL, nullptr);
    PostMessageA(window, WM_TIMER, TheApp.Client.PollTimerId, 0);
    return 0;
}

LRESULT OnDestroy(HWND window) {
    CloseGraphWindows();
    if (TheApp.Client.PollTimerId != 0) KillTimer(window, TheApp.Client.PollTimerId);
    KillTimer(window, HISTORY_TIMER_EVENT);
    ReleaseReportCanvas(TheApp.Canvas, window);
    SetTrayIcon(window, NIM_DELETE, nullptr, nullptr);
    KillTimer(window, ALERT_RUN_TIMER_EVENT);
    for (HICON* icon : {&TheApp.IconUp, &TheApp.IconDown, &TheApp.IconNeutral, &TheApp.CountIcon}) {
        if (*icon) DestroyIcon(*icon);
        *icon = nullptr;
    }
    PostQuitMessage(0);
    return 0;
}

LRESULT OnSize(HWND window, WPARAM wParam, LPARAM lParam) {
    if (wParam != SIZE_MINIMIZED) {
        // A wider window gives wider graphs.
        DrawGraphColumn();
        InvalidateRect(window, nullptr, FALSE);
        return DefWindowProcA(window, WM_SIZE, wParam, lParam);
    }
    CloseWindow(window);
    ShowWindow(window, SW_HIDE);
    TheApp.FocusCues = false;  // shown again, perhaps by the mouse
    return 0;
}

LRESULT OnPaint(HWND window, WPARAM wParam, LPARAM lParam) {
    PaintReport(TheApp.Canvas, window);
    return DefWindowProcA(window, WM_PAINT, wParam, lParam);
}

LRESULT OnWindowPosChanged(HWND window, WPARAM wParam, LPARAM lParam) {
    Settings& settings = TheApp.UserSettings;
    if (IsZoomed(window)) {
        settings.Maximized = 1;
    } else if (!IsIconic(window)) {
        const WINDOWPOS* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        settings.X = pos->x;
        settings.Y = pos->y;
        settings.Width = pos->cx;
        settings.Height = pos->cy;
        settings.Maximized = 0;
    }
    return DefWindowProcA(window, WM_WINDOWPOSCHANGED, wParam, lParam);
}

void ShowMainWindow(HWND window) {
    ShowWindow(window, TheApp.UserSettings.Maximized ? SW_SHOWMAXIMIZED : SW_RESTORE);
    SetForegroundWindow(window);
}

// Version 4 names the event in the low word and the icon in the high word, with the anchor point in
// wParam, and follows each mouse click with its own event: only those are acted on. The window's
// own Show command still posts the first version's left click (no icon in the high word).
LRESULT OnTrayNotify(HWND window, WPARAM wParam, LPARAM lParam) {
    if (TrayIconVersion == NOTIFYICON_VERSION_4 && HIWORD(lParam) == TRAY_ICON_ID) {
        const POINT anchor{static_cast<short>(LOWORD(wParam)), static_cast<short>(HIWORD(wParam))};
        switch (LOWORD(lParam)) {
        case NIN_SELECT:
        case NIN_KEYSELECT:
        case NIN_BALLOONUSERCLICK: ShowMainWindow(window); break;
        case WM_CONTEXTMENU: ShowTrayMenu(window, &anchor); break;
        }
    } else if (lParam == WM_LBUTTONUP || lParam == NIN_BALLOONUSERCLICK) {
        // A click on the balloon shows the window as a click on the icon does.
        ShowMainWindow(window);
    } else if (lParam == WM_RBUTTONUP) {
        ShowTrayMenu(window, nullptr);
    }
    return DefWindowProcA(window, WM_TRAYNOTIFY, wParam, lParam);
}

// The keyboard's own menu: the line it is on shows its outline, and the menu is that line's.
void ShowKeyboardMenu(HWND window) {
    TheApp.FocusCues = true;
    SelectReportLine(TheApp.SelectedRow);
    ShowClientMenuFromKeyboard(window);
}

// Shift+F10 and the context-menu key come as WM_CONTEXTMENU without a point; a right click has
// already opened the menu at WM_RBUTTONUP.
LRESULT OnContextMenu(HWND window, WPARAM wParam, LPARAM lParam) {
    if (lParam != -1) return DefWindowProcA(window, WM_CONTEXTMENU, wParam, lParam);
    ShowKeyboardMenu(window);
    return 0;
}

// F10 opens the client menu rather than the window's system menu, on its release too.
LRESULT OnSysKey(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (wParam != VK_F10) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_SYSKEYDOWN) ShowKeyboardMenu(window);
    return 0;
}

// Up, Down, Home and End move the keyboard's line, Enter opens its graph window, and Esc hides
// the window as minimising does.
LRESULT OnKeyDown(HWND window, WPARAM wParam, LPARAM lParam) {
    App& app = TheApp;
    LineMove move;
    switch (wParam) {
    case VK_UP: move = LineMove::Up; break;
    case VK_DOWN: move = LineMove::Down; break;
    case VK_HOME: move = LineMove::First; break;
    case VK_END: move = LineMove::Last; break;
    case VK_RETURN:
        if (app.SelectedRow >= 0) OpenGraphWindow(app.SelectedServer);
        return 0;
    case VK_ESCAPE: ShowWindow(window, SW_MINIMIZE); return 0;
    default: return DefWindowProcA(window, WM_KEYDOWN, wParam, lParam);
    }
    app.FocusCues = true;
    SelectReportLine(MoveSelection(app.SelectedRow, static_cast<int>(app.Spoken.ServerNames.size()), move));
    return 0;
}

// The outline follows the focus; a reader that comes to the window hears the keyboard's line.
LRESULT OnFocusChanged(HWND window, UINT message) {
    PlaceFocusLine();
    CopyReport(TheApp.Canvas);
    if (message == WM_SETFOCUS) SendLineFocus(window, TheApp.SelectedRow);
    return 0;
}

// High contrast turned on or off, or other system colours: the report and the graphs are drawn
// again in the colours now in use.
LRESULT OnColoursChanged(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOLORCHANGE || wParam == SPI_SETHIGHCONTRAST) {
        SetReportColours(TheApp.Canvas);
        TheApp.GraphDrawnFor.ClientWidth = -1;  // the graph column is drawn again too
        ShowReportAgain();
        InvalidateRect(window, nullptr, FALSE);
        RedrawGraphWindows();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// Moved to a monitor of another resolution: the suggested rectangle, and the report laid out again.
LRESULT OnDpiChanged(HWND window, WPARAM wParam, LPARAM lParam) {
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    SetReportDpi(TheApp.Canvas, HIWORD(wParam));
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowReportAgain();
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

// A double click on a server's line opens its graph window.
LRESULT OnDoubleClick(HWND window, WPARAM wParam, LPARAM lParam) {
    const int server = ServerAtPoint(static_cast<short>(HIWORD(lParam)));
    if (server >= 0) OpenGraphWindow(TheApp.Client.Decode.ServerList[server].Name);
    return DefWindowProcA(window, WM_LBUTTONDBLCLK, wParam, lParam);
}

LRESULT OnRightButtonUp(HWND window, WPARAM wParam, LPARAM lParam) {
    ShowClientMenu(window, lParam);
    return DefWindowProcA(window, WM_RBUTTONUP, wParam, lParam);
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
    if (RunMenuCommand(window, wParam)) return 0;
    return DefWindowProcA(window, WM_COMMAND, wParam, lParam);
}

LRESULT OnTimer(HWND window, WPARAM wParam) {
    if (wParam == ALERT_RUN_TIMER_EVENT) {
        OnAlertRunTimer(window);
        return 0;
    }
    if (wParam == HISTORY_TIMER_EVENT) {
        // Trimmed by the minute of the last report: a change of the clock since then is the next
        // report's to judge.
        TrimHistory(TheApp.Client.Counts, TheApp.Client.Counts.Clock);
        SaveUserHistory();
        return 0;
    }
    PollTick(TheApp.Client, TheApp.UserSettings, WindowPollHost(window), static_cast<unsigned>(wParam));
    return 0;
}

// A session that ends takes the process with it before the message loop can end, so the
// settings are saved here, once.
LRESULT OnEndSession(WPARAM wParam) {
    if (wParam && !TheApp.SavedAtSessionEnd) {
        TheApp.SavedAtSessionEnd = true;
        SaveUserSettings(TheApp.UserSettings);
        SaveUserHistory();
    }
    return 0;
}

// Explorer restarted: its new taskbar knows no icons, so the icon is added again.
LRESULT OnTaskbarCreated(HWND window) {
    RestoreTrayIcon(window);
    return 0;
}
}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(window);
    case WM_DESTROY: return OnDestroy(window);
    case WM_SIZE: return OnSize(window, wParam, lParam);
    case WM_PAINT: return OnPaint(window, wParam, lParam);
    case WM_CLOSE: DestroyWindow(window); return 0;
    case WM_WINDOWPOSCHANGED: return OnWindowPosChanged(window, wParam, lParam);
    case WM_COMMAND: return OnCommand(window, wParam, lParam);
    case WM_TIMER: return OnTimer(window, wParam);
    case WM_RBUTTONUP: return OnRightButtonUp(window, wParam, lParam);
    case WM_LBUTTONDBLCLK: return OnDoubleClick(window, wParam, lParam);
    case WM_CONTEXTMENU: return OnContextMenu(window, wParam, lParam);
    case WM_KEYDOWN: return OnKeyDown(window, wParam, lParam);
    case WM_SETFOCUS:
    case WM_KILLFOCUS: return OnFocusChanged(window, message);
    case WM_GETOBJECT: return AnswerGetObject(window, wParam, lParam);
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE: return OnColoursChanged(window, message, wParam, lParam);
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP: return OnSysKey(window, message, wParam, lParam);
    case WM_DPICHANGED: return OnDpiChanged(window, wParam, lParam);
    case WM_ENDSESSION: return OnEndSession(wParam);
    case WM_TRAYNOTIFY: return OnTrayNotify(window, wParam, lParam);
    case WM_SOCKETNOTIFY:  // one of a socket since replaced is passed over
        if (static_cast<SOCKET>(wParam) == TheApp.StatusSocket)
            OnSocketNotify(window, TheApp.StatusSocket, TheApp.Client.Buffers, lParam);
        return 0;
    case WM_BANNERREADY:
        OnBannerReady(window, TheApp.Client.Buffers);
        return 0;
    case WM_WEBHOOKFAILED:
        OnWebhookFailed(wParam);
        return 0;
    default:
        if (message == TheApp.TaskbarCreated && message != 0) return OnTaskbarCreated(window);
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

ATOM RegisterMainClass(App& app) {
    app.LargeClassIcon = static_cast<HICON>(LoadImageA(app.Instance, MAKEINTRESOURCEA(IDI_APP), IMAGE_ICON,
                                                       GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON),
                                                       LR_DEFAULTCOLOR));
    app.SmallClassIcon = LoadSmallIcon(app.Instance, IDI_APP);
    WNDCLASSEXA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_OWNDC | CS_DBLCLKS;
    windowClass.lpfnWndProc = MainWndProc;
    windowClass.hInstance = app.Instance;
    windowClass.hIcon = app.LargeClassIcon;
    windowClass.hIconSm = app.SmallClassIcon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = MAIN_CLASS_NAME;
    app.ClassAtom = RegisterClassExA(&windowClass);
    app.TaskbarCreated = RegisterWindowMessageA("TaskbarCreated");
    return app.ClassAtom;
}
