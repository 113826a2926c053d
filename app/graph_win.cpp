// The graph window of one server: its players over the last 24 hours and 7 days, and their CSV.
#include "app/graph_win.h"

#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

#include "app/app_win.h"
#include "app/dialogs_win.h"
#include "status/history.h"
#include "status/history_win.h"
#include "view/layout.h"
#include "view/render_win.h"

const char* const GRAPH_CLASS_NAME = "TallowinGraphClass";

namespace {
constexpr UINT ID_SAVE_CSV = 1;

struct GraphWindow {
    HWND Window;
    std::string Server;
};
std::vector<GraphWindow> openWindows;

const std::string* ServerOf(HWND window) {
    for (const GraphWindow& open : openWindows)
        if (open.Window == window) return &open.Server;
    return nullptr;
}

struct Span {
    const char* Title;
    uint32_t Minutes;
    bool Days;  // the time along the bottom in days rather than hours
};
const Span SPANS[] = {{"Last 24 hours", DAY_MINUTES, false}, {"Last 7 days", HISTORY_MINUTES, true}};

std::tm LocalTime(uint32_t minute) {
    const std::time_t time = static_cast<std::time_t>(minute) * 60;
    const std::tm* local = std::localtime(&time);
    return local ? *local : std::tm{};
}

// "21:05", or "Tue 21:05" across the week.
std::string WhenText(uint32_t minute, bool withDay) {
    static const char* const DAYS[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    const std::tm t = LocalTime(minute);
    char text[24];
    if (withDay) std::snprintf(text, sizeof text, "%s %02d:%02d", DAYS[t.tm_wday % 7], t.tm_hour, t.tm_min);
    else std::snprintf(text, sizeof text, "%02d:%02d", t.tm_hour, t.tm_min);
    return text;
}

// Draws in the report's colours.
struct Painter {
    HDC Dc;
    int Dpi;
    int LineHeight;
    ReportPalette Colours;

    int Scale(int pixels) const { return ScaleForDpi(pixels, Dpi); }
    int Width(const std::string& text) const {
        SIZE size{};
        GetTextExtentPoint32A(Dc, text.data(), static_cast<int>(text.size()), &size);
        return size.cx;
    }
    void Text(int x, int y, const std::string& text, UINT align = TA_LEFT) const {
        SetTextAlign(Dc, align | TA_TOP);
        TextOutA(Dc, x, y, text.data(), static_cast<int>(text.size()));
    }
    void Fill(int left, int top, int right, int bottom, COLORREF colour) const {
        RECT area = {left, top, right, bottom};
        SetDCBrushColor(Dc, colour);
        FillRect(Dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    }
};

// The ticks and labels of the time along the bottom: hours for a day, midnights for the week.
void DrawTimeAxis(const Painter& p, const RECT& plot, uint32_t first, const Span& span) {
    const int width = plot.right - plot.left;
    const int everyHours = width >= p.Scale(360) ? 3 : 6;
    for (uint32_t m = first + (15 - first % 15) % 15; m < first + span.Minutes; m += 15) {
        const std::tm t = LocalTime(m);  // every zone's offset is a multiple of 15 minutes
        if (t.tm_min != 0 || (span.Days ? t.tm_hour != 0 : t.tm_hour % everyHours != 0)) continue;
        const int x = plot.left + static_cast<int>(int64_t{m - first} * width / span.Minutes);
        p.Fill(x, plot.bottom, x + 1, plot.bottom + p.Scale(3), p.Colours.Text);
        const std::string label = span.Days ? WhenText(m, true).substr(0, 3) : WhenText(m, false);
        const int left = span.Days ? x + p.Scale(3) : x - p.Width(label) / 2;
        if (left + p.Width(label) <= plot.right) p.Text(left, plot.bottom + p.Scale(2), label);
    }
}

// One graph: its title and peak, the count scale, a bar a pixel, DOWN as a red band, and the time.
void DrawSpan(const Painter& p, const RECT& area, const ServerHistory* history, const Span& span, uint32_t now) {
    const uint32_t first = now - (span.Minutes - 1);
    int32_t peak = HISTORY_NONE;
    uint32_t peakAt = 0;
    const bool seen = history && PeakInRange(*history, first, span.Minutes, peak, peakAt);
    p.Text(area.left, area.top, span.Title);
    p.Text(area.right, area.top,
           seen ? "Peak " + std::to_string(peak) + " at " + WhenText(peakAt, span.Days) : "No counts yet", TA_RIGHT);
    const RECT plot = {area.left + p.Width("00000") + p.Scale(6), area.top + p.LineHeight + p.Scale(6), area.right,
                       area.bottom - p.LineHeight - p.Scale(4)};
    const int width = plot.right - plot.left, height = plot.bottom - plot.top;
    if (width < 2 || height < 2) return;
    std::vector<int32_t> values(static_cast<size_t>(width), HISTORY_NONE);
    if (history) BucketSamples(*history, first, span.Minutes, false, values.data(), width);
    const int32_t top = ScaleTop(std::max(peak, *std::max_element(values.begin(), values.end())));
    for (int step = 0; step <= 2; ++step) {
        const int y = plot.bottom - step * height / 2;
        p.Fill(plot.left, y, plot.right, y + 1, step == 0 ? p.Colours.Bar : p.Colours.Grid);
        p.Text(plot.left - p.Scale(4), y - p.LineHeight / 2, std::to_string(int64_t{top} * step / 2), TA_RIGHT);
    }
    bool down = false;
    for (int x = 0; x < width; ++x) {
        const int left = plot.left + x;
        if (values[x] == HISTORY_DOWN) {
            p.Fill(left, plot.bottom - p.Scale(4), left + 1, plot.bottom, p.Colours.Down);
            down = true;
        } else if (values[x] >= 0) {
            const int barTop = plot.bottom - static_cast<int>(int64_t{values[x]} * height / top);
            p.Fill(left, barTop, left + 1, plot.bottom, p.Colours.Bar);
            p.Fill(left, barTop, left + 1, barTop + 1, p.Colours.BarTop);
        }
    }
    if (down) {
        const int x = area.left + p.Width(span.Title) + p.Scale(16), size = p.LineHeight / 2;
        p.Fill(x, area.top + size / 2, x + size, area.top + size / 2 + size, p.Colours.Down);
        p.Text(x + size + p.Scale(4), area.top, "DOWN");
    }
    if (seen) {
        const int x = plot.left + static_cast<int>(int64_t{peakAt - first} * width / span.Minutes);
        const int y = plot.bottom - static_cast<int>(int64_t{peak} * height / top), r = p.Scale(3);
        SetDCBrushColor(p.Dc, p.Colours.Text);
        SetDCPenColor(p.Dc, p.Colours.Text);
        Ellipse(p.Dc, x - r, y - r, x + r + 1, y + r + 1);
    }
    DrawTimeAxis(p, plot, first, span);
}

LRESULT OnGraphPaint(HWND window) {
    PAINTSTRUCT paint;
    HDC screen = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    // Drawn off-screen and copied at once, so that a report's redraw does not flicker.
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP picture = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ previousBitmap = SelectObject(dc, picture);
    HFONT scaled = nullptr;
    const int dpi = WindowDpi(window);
    HGDIOBJ previousFont = SelectObject(dc, FontForDpi(DEFAULT_GUI_FONT, dpi, scaled));
    HGDIOBJ previousBrush = SelectObject(dc, GetStockObject(DC_BRUSH));
    HGDIOBJ previousPen = SelectObject(dc, GetStockObject(DC_PEN));
    const ReportPalette& colours = TheApp.Canvas.Colours;
    SetDCBrushColor(dc, colours.Background);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, colours.Text);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    const Painter painter{dc, dpi, static_cast<int>(metrics.tmHeight), colours};
    const std::string* server = ServerOf(window);
    const ServerHistory* history = server ? FindServerHistory(TheApp.Client.Counts, *server) : nullptr;
    const uint32_t now = CurrentMinute();
    const int margin = painter.Scale(10), half = client.bottom / 2;
    DrawSpan(painter, {margin, margin, client.right - margin, half - margin / 2}, history, SPANS[0], now);
    DrawSpan(painter, {margin, half + margin / 2, client.right - margin, client.bottom - margin}, history, SPANS[1], now);
    BitBlt(screen, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
    SelectObject(dc, previousPen);
    SelectObject(dc, previousBrush);
    SelectObject(dc, previousFont);
    SelectObject(dc, previousBitmap);
    if (scaled) DeleteObject(scaled);
    DeleteObject(picture);
    DeleteDC(dc);
    EndPaint(window, &paint);
    return 0;
}

// The server's name as a file name: characters no file name may hold become underscores.
std::string CsvFileName(const std::string& server) {
    std::string name = server.substr(0, MAX_PATH - 8);
    for (char& c : name)
        if (std::string("\\/:*?\"<>|").find(c) != std::string::npos || static_cast<unsigned char>(c) < 32) c = '_';
    return name + ".csv";
}

BOOL WINAPI ChooseWithSaveDialog(OPENFILENAMEA* request) {
    const FileChooser save = reinterpret_cast<FileChooser>(CommonDialogCall("GetSaveFileNameA"));
    return save ? save(request) : FALSE;
}

bool WriteTextFile(const char* path, const std::string& text) {
    HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool done = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                      written == text.size();
    CloseHandle(file);
    if (!done) DeleteFileA(path);  // no half a file left behind
    return done;
}

void OnSaveCsv(HWND window) {
    // A copy: other graph windows may open and close while the chooser runs.
    const std::string* shown = ServerOf(window);
    if (!shown) return;
    const std::string server = *shown;
    char file[MAX_PATH];
    lstrcpynA(file, CsvFileName(server).c_str(), sizeof file);
    OPENFILENAMEA request;
    FillFileRequest(request, window, "CSV files (*.csv)\0*.csv\0All files (*.*)\0*.*\0", file, "Save as CSV",
                    OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST, "csv");
    const BOOL chosen = ChooseKeepingDirectory(SaveCsvChooser, request);
    if (!chosen || !IsWindow(window)) return;
    const ServerHistory* history = FindServerHistory(TheApp.Client.Counts, server);
    const std::string csv = history ? ServerHistoryCsv(*history) : "time,players,peak\n";
    if (!WriteTextFile(file, csv)) MessageBoxA(window, "Unable to save the file", "Error", MB_ICONWARNING);
}

// A right click, or Shift+F10 and the context-menu key (no point: the menu opens at the corner).
LRESULT OnGraphMenu(HWND window, LPARAM lParam) {
    POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    if (lParam == -1) {
        at = POINT{ScaleForDpi(10, WindowDpi(window)), ScaleForDpi(10, WindowDpi(window))};
        ClientToScreen(window, &at);
    }
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, ID_SAVE_CSV, "&Save as CSV...");
    const UINT chosen = TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_VERTICAL, at.x, at.y, window, nullptr);
    DestroyMenu(menu);
    if (chosen == ID_SAVE_CSV) OnSaveCsv(window);
    return 0;
}

LRESULT OnGraphDpiChanged(HWND window, LPARAM lParam) {
    const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
    SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                 suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

LRESULT OnGraphDestroy(HWND window) {
    openWindows.erase(std::remove_if(openWindows.begin(), openWindows.end(),
                                     [&](const GraphWindow& open) { return open.Window == window; }),
                      openWindows.end());
    return 0;
}
}  // namespace

FileChooser SaveCsvChooser = ChooseWithSaveDialog;

LRESULT CALLBACK GraphWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: return OnGraphPaint(window);
    case WM_ERASEBKGND: return 1;  // the paint covers it all
    case WM_SIZE: InvalidateRect(window, nullptr, FALSE); return 0;
    case WM_KEYDOWN:
        if (wParam != VK_ESCAPE) break;
        DestroyWindow(window);
        return 0;
    case WM_CONTEXTMENU: return OnGraphMenu(window, lParam);
    case WM_DPICHANGED: return OnGraphDpiChanged(window, lParam);
    case WM_DESTROY: return OnGraphDestroy(window);
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

ATOM RegisterGraphClass(HINSTANCE instance) {
    WNDCLASSEXA windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = GraphWndProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = TheApp.LargeClassIcon;
    windowClass.hIconSm = TheApp.SmallClassIcon;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = GRAPH_CLASS_NAME;
    return RegisterClassExA(&windowClass);
}

HWND OpenGraphWindow(const std::string& server) {
    for (const GraphWindow& open : openWindows) {
        if (open.Server != server) continue;
        if (IsIconic(open.Window)) ShowWindow(open.Window, SW_RESTORE);
        SetForegroundWindow(open.Window);
        return open.Window;
    }
    const int dpi = WindowDpi(TheApp.Window);
    HWND window = CreateWindowExA(0, GRAPH_CLASS_NAME, (server + " - Tallowin").c_str(), WS_OVERLAPPEDWINDOW,
                                  CW_USEDEFAULT, CW_USEDEFAULT, ScaleForDpi(560, dpi), ScaleForDpi(420, dpi), nullptr,
                                  nullptr, TheApp.Instance, nullptr);
    if (!window) return nullptr;
    openWindows.push_back(GraphWindow{window, server});
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    return window;
}

void RedrawGraphWindows() {
    for (const GraphWindow& open : openWindows) InvalidateRect(open.Window, nullptr, FALSE);
}

void CloseGraphWindows() {
    while (!openWindows.empty()) {
        HWND window = openWindows.back().Window;
        DestroyWindow(window);
        if (!openWindows.empty() && openWindows.back().Window == window) openWindows.pop_back();
    }
}
