// Drawing the report into an off-screen bitmap with GDI and copying it to the window.
#include "view/render_win.h"

#include <algorithm>

#include "view/layout.h"

namespace {

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

void FillBackground(const ReportCanvas& canvas, HDC dc, const RECT& area) {
    SetDCBrushColor(dc, canvas.Colours.Background);
    FillRect(dc, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
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

// The graph column's heading: the dialog font, a little smaller, to fit the narrow column.
HGDIOBJ HeadingFont(int dpi, HFONT& scaled) {
    if (scaled) DeleteObject(scaled);
    scaled = nullptr;
    LOGFONTA shape;
    HGDIOBJ font = GetStockObject(DEFAULT_GUI_FONT);
    if (GetObjectA(font, sizeof shape, &shape) != sizeof shape) return font;
    shape.lfHeight = -ScaleForDpi(10, dpi);
    shape.lfWidth = 0;
    scaled = CreateFontIndirectA(&shape);
    return scaled ? scaled : font;
}

// A picture of the column's size to draw the graphs into, kept while the size stays.
bool PrepareGraphBitmap(ReportCanvas& canvas, int width, int height) {
    if (canvas.GraphBitmap && canvas.GraphWidth == width && canvas.GraphHeight == height) return true;
    if (canvas.PrevGraphBitmap) SelectObject(canvas.GraphDC, canvas.PrevGraphBitmap);
    if (canvas.GraphBitmap) DeleteObject(canvas.GraphBitmap);
    canvas.GraphBitmap = nullptr;
    canvas.PrevGraphBitmap = nullptr;
    BITMAPINFO info = TopDownPictureInfo(width, height);
    void* pixels = nullptr;
    canvas.GraphBitmap = CreateDIBSection(canvas.GraphDC, &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    if (!canvas.GraphBitmap) return false;
    canvas.GraphPixels = static_cast<unsigned*>(pixels);
    canvas.PrevGraphBitmap = SelectObject(canvas.GraphDC, canvas.GraphBitmap);
    canvas.GraphWidth = width;
    canvas.GraphHeight = height;
    return true;
}

// One row's bars from its baseline up, each a column of pixels with a brighter top.
void DrawGraphRow(ReportCanvas& canvas, int row, const int32_t* values, int count) {
    const int pad = ScaleForDpi(2, canvas.Dpi);
    const int bottom = (row + 1) * canvas.LineHeight - pad - 1;
    const int tallest = canvas.LineHeight - 2 * pad;
    if (bottom >= canvas.GraphHeight || tallest < 1) return;
    const unsigned barPixel = PixelOf(canvas.Colours.Bar), topPixel = PixelOf(canvas.Colours.BarTop);
    int32_t peak = 0;
    for (int i = 0; i < count; ++i) peak = values[i] > peak ? values[i] : peak;
    for (int i = 0; i < count && pad + i < canvas.GraphWidth; ++i) {
        const int height = BarHeight(values[i], peak, tallest);
        for (int y = bottom - height + 1; y <= bottom && height > 0; ++y)
            canvas.GraphPixels[y * canvas.GraphWidth + pad + i] = y == bottom - height + 1 ? topPixel : barPixel;
    }
}

int SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : BASE_DPI;
}
}  // namespace

bool (*HighContrastOn)() = [] {
    HIGHCONTRASTA contrast{};
    contrast.cbSize = sizeof contrast;
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON);
};

ReportPalette CurrentPalette() {
    if (!HighContrastOn()) {
        const COLORREF text = RGB(0, 192, 0), rule = RGB(0, 128, 0);
        return ReportPalette{RGB(0, 0, 0), text, rule, text, rule, text, RGB(0, 64, 0), RGB(160, 0, 0)};
    }
    const COLORREF text = GetSysColor(COLOR_WINDOWTEXT), highlight = GetSysColor(COLOR_HIGHLIGHT);
    const COLORREF gray = GetSysColor(COLOR_GRAYTEXT);
    return ReportPalette{GetSysColor(COLOR_WINDOW), text, text, highlight, highlight, text, gray, gray};
}

unsigned PixelOf(COLORREF colour) {
    return static_cast<unsigned>(GetRValue(colour)) << 16 | static_cast<unsigned>(GetGValue(colour)) << 8 |
           GetBValue(colour);
}

BITMAPINFO TopDownPictureInfo(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top row first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

int WindowDpi(HWND window) {
    // Windows 10 (1607) and later know each monitor's resolution; older systems have one.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const DpiForWindow query = reinterpret_cast<DpiForWindow>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
    const int dpi = query && window ? static_cast<int>(query(window)) : 0;
    return dpi > 0 ? dpi : SystemDpi();
}

int LineHeightOf(HGDIOBJ font) {
    HDC screen = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(screen, font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen, &metrics);
    SelectObject(screen, previous);
    ReleaseDC(nullptr, screen);
    return metrics.tmHeight;
}

HGDIOBJ FontForDpi(int stock, int dpi, HFONT& scaled) {
    if (scaled) DeleteObject(scaled);
    scaled = nullptr;
    HGDIOBJ font = GetStockObject(stock);
    const int system = SystemDpi();
    LOGFONTA shape;
    // Past 96 dpi the stock font's stated width may still be the one for 96 dpi, which squeezes it:
    // the font is made again in its natural width, with the stock font's line height scaled.
    if ((dpi == system && dpi == BASE_DPI) || GetObjectA(font, sizeof shape, &shape) != sizeof shape) return font;
    const int lineHeight = MulDiv(LineHeightOf(font), dpi, system);
    shape.lfHeight = lineHeight;
    shape.lfWidth = 0;
    scaled = CreateFontIndirectA(&shape);
    // The face the mapper chose may set its lines a little apart: asked once more, it matches.
    const int made = scaled ? LineHeightOf(scaled) : 0;
    if (made > 0 && made != lineHeight) {
        shape.lfHeight = MulDiv(lineHeight, lineHeight, made);
        if (HFONT closer = CreateFontIndirectA(&shape)) {
            DeleteObject(scaled);
            scaled = closer;
        }
    }
    return scaled ? scaled : font;
}

void CreateReportCanvas(ReportCanvas& canvas, HWND window) {
    canvas.WindowDC = GetDC(window);
    canvas.MemoryDC = CreateCompatibleDC(canvas.WindowDC);
    SetReportColours(canvas);
    canvas.GraphDC = CreateCompatibleDC(canvas.WindowDC);
    SetReportDpi(canvas, WindowDpi(window));
}

void SetReportColours(ReportCanvas& canvas) {
    canvas.Colours = CurrentPalette();
    HPEN old = canvas.ReportPen;
    canvas.ReportPen = CreatePen(PS_SOLID, 0, canvas.Colours.Rule);
    HGDIOBJ previous = SelectObject(canvas.MemoryDC, canvas.ReportPen);
    if (!canvas.PrevPen) canvas.PrevPen = previous;
    if (old) DeleteObject(old);
    for (HBRUSH* brush : {&canvas.MarkBrush, &canvas.RuleBrush})
        if (*brush) DeleteObject(*brush);
    canvas.MarkBrush = CreateSolidBrush(canvas.Colours.Mark);
    canvas.RuleBrush = CreateSolidBrush(canvas.Colours.Rule);
}

// The stock system font is made for the system's resolution; a window on a monitor of another
// resolution gets the same font scaled to it.
void SetReportDpi(ReportCanvas& canvas, int dpi) {
    canvas.Dpi = dpi;
    canvas.Margin = ScaleForDpi(REPORT_MARGIN, dpi);
    canvas.ReportFont = FontForDpi(SYSTEM_FONT, dpi, canvas.ScaledFont);
    HGDIOBJ previous = SelectObject(canvas.MemoryDC, canvas.ReportFont);
    if (!canvas.PrevFont) canvas.PrevFont = previous;
    canvas.HeaderFont = HeadingFont(dpi, canvas.ScaledHeaderFont);
}

void ReleaseReportCanvas(ReportCanvas& canvas, HWND window) {
    ReleaseReportBitmap(canvas);
    if (canvas.PrevFont) SelectObject(canvas.MemoryDC, canvas.PrevFont);
    if (canvas.ScaledFont) DeleteObject(canvas.ScaledFont);
    if (canvas.PrevGraphBitmap) SelectObject(canvas.GraphDC, canvas.PrevGraphBitmap);
    if (canvas.GraphBitmap) DeleteObject(canvas.GraphBitmap);
    if (canvas.GraphDC) DeleteDC(canvas.GraphDC);
    if (canvas.ScaledHeaderFont) DeleteObject(canvas.ScaledHeaderFont);
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
    canvas.TextColumn = layout.ColumnWidth;
    canvas.ReportBitmap = CreateCompatibleBitmap(canvas.WindowDC, canvas.ReportWidth, canvas.ReportHeight);
    if (canvas.ReportBitmap) canvas.PrevBitmap = SelectObject(dc, canvas.ReportBitmap);

    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, canvas.Colours.Text);
    FillBackground(canvas, dc, RECT{0, 0, canvas.ReportWidth, canvas.ReportHeight});

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
    if (canvas.GraphWidth > 0)
        BitBlt(canvas.WindowDC, canvas.GraphLeft, canvas.Margin, canvas.GraphWidth, canvas.GraphHeight, canvas.GraphDC,
               0, 0, SRCCOPY);
    const int bottom = canvas.Margin + canvas.ReportHeight;
    FillBackground(canvas, canvas.WindowDC, RECT{0, canvas.Margin, canvas.Margin, bottom});
    // Between the picture and the graphs too: the outline of the line crosses it.
    if (canvas.GraphWidth > 0)
        FillBackground(canvas, canvas.WindowDC, RECT{canvas.Margin + canvas.ReportWidth, canvas.Margin, canvas.GraphLeft, bottom});
    if (canvas.LineHeight <= 0) return;
    for (size_t row = 0; row < canvas.RowMarks.size(); ++row)
        if (canvas.RowMarks[row]) DrawRowMark(canvas, static_cast<int>(row));
    if (canvas.FocusLine < 0) return;
    RECT line = ReportLineRect(canvas, canvas.FocusLine);
    line.top += ScaleForDpi(1, canvas.Dpi);  // below the header's rule, which lies on the first line's top
    DrawFocusRect(canvas.WindowDC, &line);
}

int GraphValuesPerRow(const ReportCanvas& canvas, int clientWidth) {
    const GraphColumn column = PlaceGraphColumn(canvas.TextColumn, canvas.Margin, clientWidth, canvas.Dpi);
    return std::max(0, column.Width - 2 * ScaleForDpi(2, canvas.Dpi));
}

void RenderGraphColumn(ReportCanvas& canvas, int clientWidth, const int32_t* values, int rows, int perRow) {
    const GraphColumn column = PlaceGraphColumn(canvas.TextColumn, canvas.Margin, clientWidth, canvas.Dpi);
    if (rows <= 0 || column.Width <= 0 || canvas.ReportHeight <= 0 ||
        !PrepareGraphBitmap(canvas, column.Width, canvas.ReportHeight)) {
        canvas.GraphWidth = 0;
        return;
    }
    canvas.GraphLeft = column.Left;
    GdiFlush();
    std::fill(canvas.GraphPixels, canvas.GraphPixels + canvas.GraphWidth * canvas.GraphHeight,
              PixelOf(canvas.Colours.Background));
    for (int row = 0; row < rows; ++row) DrawGraphRow(canvas, row + 1, values + row * perRow, perRow);
    HGDIOBJ previous = SelectObject(canvas.GraphDC, canvas.HeaderFont);
    SetBkMode(canvas.GraphDC, TRANSPARENT);
    SetTextColor(canvas.GraphDC, canvas.Colours.Text);
    RECT heading = {0, 0, canvas.GraphWidth - 1, canvas.LineHeight};
    DrawTextA(canvas.GraphDC, "Last 24 h", -1, &heading, DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(canvas.GraphDC, previous);
}

int ReportRowAt(const ReportCanvas& canvas, int clientY) {
    if (canvas.LineHeight <= 0 || clientY < canvas.Margin || clientY >= canvas.Margin + canvas.ReportHeight) return -1;
    return (clientY - canvas.Margin) / canvas.LineHeight;
}

RECT ReportLineRect(const ReportCanvas& canvas, int line) {
    const int top = canvas.Margin + line * canvas.LineHeight;
    const int right = std::max(canvas.Margin + canvas.ReportWidth, canvas.GraphWidth > 0 ? canvas.GraphLeft + canvas.GraphWidth : 0);
    return RECT{canvas.Margin, top, right, top + canvas.LineHeight};
}

void PaintReport(const ReportCanvas& canvas, HWND window) {
    RECT client;
    GetClientRect(window, &client);
    FillBackground(canvas, canvas.WindowDC, client);
    CopyReport(canvas);
}
