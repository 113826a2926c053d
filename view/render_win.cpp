// Drawing the report into an off-screen bitmap with GDI and copying it to the window.
#include "view/render_win.h"

#include "view/layout.h"

namespace {
constexpr COLORREF REPORT_TEXT_COLOUR = RGB(0, 192, 0);
constexpr COLORREF REPORT_RULE_COLOUR = RGB(0, 128, 0);

TextExtent MeasureFirstColumnWith(void* context, const char* text, int count) {
    const DWORD packed = GetTabbedTextExtentA(static_cast<HDC>(context), text, count, 0, nullptr);
    return UnpackExtent(packed);
}

void ReleaseReportBitmap(ReportCanvas& canvas) {
    if (canvas.PrevBitmap) {
        SelectObject(canvas.MemoryDC, canvas.PrevBitmap);
        canvas.PrevBitmap = nullptr;
    }
    if (canvas.ReportBitmap) {
        DeleteObject(canvas.ReportBitmap);
        canvas.ReportBitmap = nullptr;
    }
}

// A small pointer in the margin left of a line, as wide as the margin allows.
void DrawRowMark(const ReportCanvas& canvas, int row) {
    const int middle = canvas.Margin + row * canvas.LineHeight + canvas.LineHeight / 2;
    for (int x = 0; x < canvas.Margin - 1; ++x) {
        const int half = canvas.Margin - 2 - x;
        RECT column = {x, middle - half, x + 1, middle + half + 1};
        FillRect(canvas.WindowDC, &column, canvas.MarkBrush);
    }
}

// A rule over the pixels x = 0 to length: one pixel high with the pen, thicker as a filled band.
void DrawRule(const ReportCanvas& canvas, int y, int length) {
    const int thickness = ScaleForDpi(1, canvas.Dpi);
    if (thickness <= 1) {
        MoveToEx(canvas.MemoryDC, 0, y, nullptr);
        LineTo(canvas.MemoryDC, length + 1, y);
        return;
    }
    RECT band = {0, y, length + 1, y + thickness};
    FillRect(canvas.MemoryDC, &band, canvas.RuleBrush);
}

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : BASE_DPI;
}
}  // namespace

int WindowDpi(HWND window) {
    // Windows 10 (1607) and later know each monitor's resolution; older systems have one.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const DpiForWindow query = reinterpret_cast<DpiForWindow>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    const int dpi = query && window ? static_cast<int>(query(window)) : 0;
    return dpi > 0 ? dpi : SystemDpi();
}

void CreateReportCanvas(ReportCanvas& canvas, HWND window) {
    canvas.WindowDC = GetDC(window);
    canvas.MemoryDC = CreateCompatibleDC(canvas.WindowDC);
    canvas.ReportPen = CreatePen(PS_SOLID, 0, REPORT_RULE_COLOUR);
    canvas.PrevPen = SelectObject(canvas.MemoryDC, canvas.ReportPen);
    canvas.MarkBrush = CreateSolidBrush(REPORT_TEXT_COLOUR);
    canvas.RuleBrush = CreateSolidBrush(REPORT_RULE_COLOUR);
    SetReportDpi(canvas, WindowDpi(window));
}

// The stock system font is made for the system's resolution; a window on a monitor of another
// resolution gets the same font scaled to it.
void SetReportDpi(ReportCanvas& canvas, int dpi) {
    canvas.Dpi = dpi;
    canvas.Margin = ScaleForDpi(REPORT_MARGIN, dpi);
    HGDIOBJ font = GetStockObject(SYSTEM_FONT);
    HFONT scaled = nullptr;
    const int system = SystemDpi();
    LOGFONTA shape;
    if (dpi != system && GetObjectA(font, sizeof shape, &shape) == sizeof shape) {
        shape.lfHeight = MulDiv(shape.lfHeight, dpi, system);
        shape.lfWidth = MulDiv(shape.lfWidth, dpi, system);
        scaled = CreateFontIndirectA(&shape);
        if (scaled) font = scaled;
    }
    HGDIOBJ previous = SelectObject(canvas.MemoryDC, font);
    if (!canvas.PrevFont) canvas.PrevFont = previous;
    if (canvas.ScaledFont) DeleteObject(canvas.ScaledFont);
    canvas.ScaledFont = scaled;
    canvas.ReportFont = font;
}

void ReleaseReportCanvas(ReportCanvas& canvas, HWND window) {
    ReleaseReportBitmap(canvas);
    if (canvas.PrevFont) SelectObject(canvas.MemoryDC, canvas.PrevFont);
    if (canvas.ScaledFont) DeleteObject(canvas.ScaledFont);
    if (canvas.PrevPen) SelectObject(canvas.MemoryDC, canvas.PrevPen);
    if (canvas.ReportPen) DeleteObject(canvas.ReportPen);
    if (canvas.MarkBrush) DeleteObject(canvas.MarkBrush);
    if (canvas.RuleBrush) DeleteObject(canvas.RuleBrush);
    if (canvas.MemoryDC) DeleteDC(canvas.MemoryDC);
    if (canvas.WindowDC) ReleaseDC(window, canvas.WindowDC);
    canvas = ReportCanvas{};
}

void RenderReport(ReportCanvas& canvas, const char* text) {
    ReleaseReportBitmap(canvas);
    HDC dc = canvas.MemoryDC;
    const ReportLayout layout = MeasureReport(text, MeasureFirstColumnWith, dc, canvas.Dpi);
    canvas.ReportWidth = layout.Width;
    canvas.ReportHeight = layout.Height;
    canvas.LineHeight = layout.LineHeight;
    canvas.ReportBitmap = CreateCompatibleBitmap(canvas.WindowDC, canvas.ReportWidth, canvas.ReportHeight);
    if (canvas.ReportBitmap) canvas.PrevBitmap = SelectObject(dc, canvas.ReportBitmap);

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, REPORT_TEXT_COLOUR);
    RECT all = {0, 0, canvas.ReportWidth, canvas.ReportHeight};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));

    int stops[2] = {layout.TabStops[0], layout.TabStops[1]};
    int y = 0, lines = 0, drawnWidth = 0;
    const char* cursor = text;
    for (;;) {
        const ReportLine line = NextReportLine(cursor);
        const TextExtent extent = UnpackExtent(GetTabbedTextExtentA(dc, line.Text, line.Length, 2, stops));
        TabbedTextOutA(dc, 1, y, line.Text, line.Length, 2, stops, 0);
        if (static_cast<int>(extent.Width) > drawnWidth) drawnWidth = static_cast<int>(extent.Width);
        y += static_cast<int>(extent.Height);
        ++lines;
        if (line.Last) break;
    }
    if (lines > 1) {
        DrawRule(canvas, layout.LineHeight, drawnWidth);
        DrawRule(canvas, y - layout.LineHeight, drawnWidth);
    }
}

void CopyReport(const ReportCanvas& canvas) {
    BitBlt(canvas.WindowDC, canvas.Margin, canvas.Margin, canvas.ReportWidth, canvas.ReportHeight, canvas.MemoryDC,
           0, 0, SRCCOPY);
    RECT margin = {0, canvas.Margin, canvas.Margin, canvas.Margin + canvas.ReportHeight};
    FillRect(canvas.WindowDC, &margin, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (canvas.LineHeight <= 0) return;
    for (size_t row = 0; row < canvas.RowMarks.size(); ++row)
        if (canvas.RowMarks[row]) DrawRowMark(canvas, static_cast<int>(row));
}

int ReportRowAt(const ReportCanvas& canvas, int clientY) {
    if (canvas.LineHeight <= 0 || clientY < canvas.Margin || clientY >= canvas.Margin + canvas.ReportHeight) return -1;
    return (clientY - canvas.Margin) / canvas.LineHeight;
}

void PaintReport(const ReportCanvas& canvas, HWND window) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(canvas.WindowDC, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    CopyReport(canvas);
}
