// Layout arithmetic of the report picture: lines, first columns, size and tab stops.
#pragma once

#include <cstdint>

// One line of a report text: its characters up to, not including, its line feed.
struct ReportLine {
    const char* Text;
    int Length;
    int FirstColumnLength;  // characters before the first tab, or the whole line
    bool Last;              // no line feed follows
};

// Splits the line that starts at cursor and moves cursor past its line feed.
ReportLine NextReportLine(const char*& cursor);

struct TextExtent {
    unsigned Width;
    unsigned Height;
};

// Reads the packed result of GetTabbedTextExtent: width in the low, height in the high 16 bits.
TextExtent UnpackExtent(uint32_t packed);

struct ReportLayout {
    int ColumnWidth;   // W: widest first column of all lines but the last
    int LineHeight;    // L: the last line's height, where the rules are set off
    int Width;         // 3 x W, or 3 x the last line's first column when W is 0
    int Height;        // all lines' heights together
    int TabStops[2];   // right-aligned stops at W + 80 and W + 150 (at 96 dpi)
};

using MeasureFirstColumn = TextExtent (*)(void* context, const char* text, int count);

constexpr int BASE_DPI = 96;
// A length in pixels at 96 dots per inch, at another resolution, rounded to the nearest pixel.
int ScaleForDpi(int pixels, int dpi);

// The measuring pass: every line's first column, the last line's width left out of W. The tab
// stops' distances from W are for 96 dpi and scale with dpi.
ReportLayout MeasureReport(const char* text, MeasureFirstColumn measure, void* context, int dpi = BASE_DPI);

// The graph column right of Zones, in window client coordinates: it starts just past where the
// Zones column ends and takes the rest of the window's width; Width is 0 when there is no room.
struct GraphColumn {
    int Left;
    int Width;
};
GraphColumn PlaceGraphColumn(int columnWidth, int margin, int clientWidth, int dpi);

// The height of one bar of a graph row `height` pixels high, scaled to the row's own peak: at least
// one pixel for any count (a count of 0 included), -1 for a gap (DOWN or not seen).
int BarHeight(int32_t value, int32_t peak, int height);

// The top of a graph's count scale: the smallest 1, 2 or 5 times a power of ten that holds peak.
int32_t ScaleTop(int32_t peak);
