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
    const int middle = REPORT_TOP + row * canvas.LineHeight + canvas.LineHeight / 2;
    for (int x = 0; x < REPORT_LEFT - 1; ++x) {
        const int half = REPORT_LEFT - 2 - x;
        RECT column = {x, middle - half, x + 1, middle + half + 1};
        FillRect(canvas.WindowDC, &column, canvas.MarkBrush);
    }
}

void DrawRule(HDC dc, int y, int length) {
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, length + 1, y);
}
}  // namespace

void CreateReportCanvas(ReportCanvas& canvas, HWND window) {
    canvas.WindowDC = GetDC(window);
    canvas.MemoryDC = CreateCompatibleDC(canvas.WindowDC);
    canvas.ReportPen = CreatePen(PS_SOLID, 0, REPORT_RULE_COLOUR);
    canvas.PrevPen = SelectObject(canvas.MemoryDC, canvas.ReportPen);
    canvas.ReportFont = GetStockObject(SYSTEM_FONT);
    canvas.PrevFont = SelectObject(canvas.MemoryDC, canvas.ReportFont);
    canvas.MarkBrush = CreateSolidBrush(REPORT_TEXT_COLOUR);
}

void ReleaseReportCanvas(ReportCanvas& canvas, HWND window) {
    ReleaseReportBitmap(canvas);
    if (canvas.PrevFont) SelectObject(canvas.MemoryDC, canvas.PrevFont);
    if (canvas.PrevPen) SelectObject(canvas.MemoryDC, canvas.PrevPen);
    if (canvas.ReportPen) DeleteObject(canvas.ReportPen);
    if (canvas.MarkBrush) DeleteObject(canvas.MarkBrush);
    if (canvas.MemoryDC) DeleteDC(canvas.MemoryDC);
    if (canvas.WindowDC) ReleaseDC(window, canvas.WindowDC);
    canvas = ReportCanvas{};
}

void RenderReport(ReportCanvas& canvas, const char* text) {
    ReleaseReportBitmap(canvas);
    HDC dc = canvas.MemoryDC;
    const ReportLayout layout = MeasureReport(text, MeasureFirstColumnWith, dc);
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
        DrawRule(dc, layout.LineHeight, drawnWidth);
        DrawRule(dc, y - layout.LineHeight, drawnWidth);
    }
}

void CopyReport(const ReportCanvas& canvas) {
    BitBlt(canvas.WindowDC, REPORT_LEFT, REPORT_TOP, canvas.ReportWidth, canvas.ReportHeight, canvas.MemoryDC, 0, 0,
           SRCCOPY);
    RECT margin = {0, REPORT_TOP, REPORT_LEFT, REPORT_TOP + canvas.ReportHeight};
    FillRect(canvas.WindowDC, &margin, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    if (canvas.LineHeight <= 0) return;
    for (size_t row = 0; row < canvas.RowMarks.size(); ++row)
        if (canvas.RowMarks[row]) DrawRowMark(canvas, static_cast<int>(row));
}

int ReportRowAt(const ReportCanvas& canvas, int clientY) {
    if (canvas.LineHeight <= 0 || clientY < REPORT_TOP || clientY >= REPORT_TOP + canvas.ReportHeight) return -1;
    return (clientY - REPORT_TOP) / canvas.LineHeight;
}

void PaintReport(const ReportCanvas& canvas, HWND window) {
    RECT client;
    GetClientRect(window, &client);
    FillRect(canvas.WindowDC, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    CopyReport(canvas);
}
