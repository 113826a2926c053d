// Drawing the report into an off-screen bitmap and copying it to the window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

// The colours of the report and the graphs: green on black, or the system's own while high
// contrast is on.
struct ReportPalette {
    COLORREF Background, Text, Rule, Mark, Bar, BarTop, Grid, Down;
};
ReportPalette CurrentPalette();
// Whether high contrast is on, as the system says. Tests put their own here.
extern bool (*HighContrastOn)();
// A colour as a pixel of a 32-bit picture, 0x00RRGGBB.
unsigned PixelOf(COLORREF colour);

// The window's drawing state. All null or 0 until CreateReportCanvas.
struct ReportCanvas {
    HDC WindowDC;
    HDC MemoryDC;
    HPEN ReportPen;
    HGDIOBJ PrevPen;
    HGDIOBJ ReportFont;
    HGDIOBJ PrevFont;
    HFONT ScaledFont;                  // the system font made for another resolution, when in use
    HBITMAP ReportBitmap;
    HGDIOBJ PrevBitmap;
    int ReportWidth;
    int ReportHeight;
    int LineHeight;                    // of every line of the report
    int Dpi;                           // the window's resolution
    int Margin;                        // where the picture starts: 4 pixels at 96 dpi
    int TextColumn;                    // W of the last report: where its tab stops and graphs stand
    HDC GraphDC;                       // the graph column, drawn into its own picture
    HBITMAP GraphBitmap;
    HGDIOBJ PrevGraphBitmap;
    unsigned* GraphPixels;             // GraphBitmap's pixels, top row first, 0x00RRGGBB
    int GraphLeft, GraphWidth, GraphHeight;  // where it is copied to; width 0 while there is none
    HGDIOBJ HeaderFont;                // the column's heading, smaller than the report's font
    HFONT ScaledHeaderFont;
    HBRUSH MarkBrush;                  // the marks of watched servers' lines
    HBRUSH RuleBrush;                  // rules thicker than one pixel
    std::vector<unsigned char> RowMarks;  // a mark left of each line that has one
    int FocusLine = -1;                // the line outlined as the keyboard's, or -1
    ReportPalette Colours;
};

constexpr int REPORT_MARGIN = 4;  // at 96 dpi

// The window's resolution: its monitor's where the system tells, else the system's.
int WindowDpi(HWND window);
// A stock font as it is, or made for another resolution than the system's: then it is created and
// kept in `scaled`, which the caller deletes (and which a later call replaces).
HGDIOBJ FontForDpi(int stock, int dpi, HFONT& scaled);

// The window's own context, a memory context with the report pen and the system font selected.
// The header of a 32-bit picture whose rows run top down, for CreateDIBSection.
BITMAPINFO TopDownPictureInfo(int width, int height);
void CreateReportCanvas(ReportCanvas& canvas, HWND window);
// Puts back and releases everything, the report bitmap included.
void ReleaseReportCanvas(ReportCanvas& canvas, HWND window);
// Takes the colours in use now: the next render and copy draw in them.
void SetReportColours(ReportCanvas& canvas);
// Takes a new resolution: the font, margins, tab stops and rules of the next render follow it.
void SetReportDpi(ReportCanvas& canvas, int dpi);
// Draws the text into a new report bitmap, replacing the old one.
void RenderReport(ReportCanvas& canvas, const char* text);
// The graph column right of Zones, "Last 24 h" over a small graph beside each server line: how many
// values a row takes at this client width (0 when there is no room), and the drawing of rows of that
// many values (player counts, DOWN or not seen as gaps), row i beside the report's line i + 1.
int GraphValuesPerRow(const ReportCanvas& canvas, int clientWidth);
void RenderGraphColumn(ReportCanvas& canvas, int clientWidth, const int32_t* values, int rows, int perRow);
// Copies the report bitmap to the window inside its margin, with the marks in the margin to its left,
// the graph column to its right and the keyboard's line outlined.
void CopyReport(const ReportCanvas& canvas);
// The line of the report at a client-area height, or -1 above or below it.
int ReportRowAt(const ReportCanvas& canvas, int clientY);
// A line of the report in the window, its graph included, in client coordinates.
RECT ReportLineRect(const ReportCanvas& canvas, int line);
// WM_PAINT: the client area in the background colour, then the copy.
void PaintReport(const ReportCanvas& canvas, HWND window);
