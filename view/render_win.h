// Drawing the report into an off-screen bitmap and copying it to the window.
#pragma once

#include <windows.h>

#include <vector>

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
    HBRUSH MarkBrush;                  // the marks of watched servers' lines
    HBRUSH RuleBrush;                  // rules thicker than one pixel
    std::vector<unsigned char> RowMarks;  // a mark left of each line that has one
};

constexpr int REPORT_MARGIN = 4;  // at 96 dpi

// The window's resolution: its monitor's where the system tells, else the system's.
int WindowDpi(HWND window);

// The window's own context, a memory context with the report pen and the system font selected.
void CreateReportCanvas(ReportCanvas& canvas, HWND window);
// Puts back and releases everything, the report bitmap included.
void ReleaseReportCanvas(ReportCanvas& canvas, HWND window);
// Takes a new resolution: the font, margins, tab stops and rules of the next render follow it.
void SetReportDpi(ReportCanvas& canvas, int dpi);
// Draws the text into a new report bitmap, replacing the old one.
void RenderReport(ReportCanvas& canvas, const char* text);
// Copies the report bitmap to the window inside its margin, with the marks in the margin to its left.
void CopyReport(const ReportCanvas& canvas);
// The line of the report at a client-area height, or -1 above or below it.
int ReportRowAt(const ReportCanvas& canvas, int clientY);
// WM_PAINT: black client area, then the copy.
void PaintReport(const ReportCanvas& canvas, HWND window);
