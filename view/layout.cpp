// Layout arithmetic of the report picture: lines, first columns, size and tab stops.
#include "view/layout.h"

#include <algorithm>
#include <cstring>

ReportLine NextReportLine(const char*& cursor) {
    const char* start = cursor;
    const char* end = std::strchr(start, '\n');
    const bool last = end == nullptr;
    if (last) end = start + std::strlen(start);
    const void* tab = std::memchr(start, '\t', static_cast<size_t>(end - start));
    const char* columnEnd = tab ? static_cast<const char*>(tab) : end;
    cursor = last ? end : end + 1;
    return ReportLine{start, static_cast<int>(end - start), static_cast<int>(columnEnd - start), last};
}

TextExtent UnpackExtent(uint32_t packed) { return TextExtent{packed & 0xFFFFu, packed >> 16}; }

int ScaleForDpi(int pixels, int dpi) {
    const int64_t scaled = static_cast<int64_t>(pixels) * dpi;
    return static_cast<int>((scaled + (scaled < 0 ? -BASE_DPI / 2 : BASE_DPI / 2)) / BASE_DPI);
}

ReportLayout MeasureReport(const char* text, MeasureFirstColumn measure, void* context, int dpi) {
    int height = 0;
    int columnWidth = 0;
    TextExtent last{0, 0};
    const char* cursor = text;
    for (;;) {
        const ReportLine line = NextReportLine(cursor);
        last = measure(context, line.Text, line.FirstColumnLength);
        height += static_cast<int>(last.Height);
        if (line.Last) break;
        columnWidth = std::max(columnWidth, static_cast<int>(last.Width));
    }
    const int base = columnWidth > 0 ? columnWidth : static_cast<int>(last.Width);
    return ReportLayout{columnWidth,
                        static_cast<int>(last.Height),
                        3 * base,
                        height,
                        {-(columnWidth + ScaleForDpi(80, dpi)), -(columnWidth + ScaleForDpi(150, dpi))}};
}

GraphColumn PlaceGraphColumn(int columnWidth, int margin, int clientWidth, int dpi) {
    const int left = margin + columnWidth + ScaleForDpi(150, dpi) + ScaleForDpi(2, dpi);
    return GraphColumn{left, std::max(0, clientWidth - left)};
}

int BarHeight(int32_t value, int32_t peak, int height) {
    if (value < 0) return -1;
    if (peak <= 0 || height <= 1) return 1;
    const int64_t scaled = (static_cast<int64_t>(std::min(value, peak)) * height + peak / 2) / peak;
    return static_cast<int>(std::max<int64_t>(1, scaled));
}

int32_t ScaleTop(int32_t peak) {
    for (int64_t power = 1;; power *= 10) {
        for (int64_t step : {1, 2, 5}) {
            if (step * power >= peak || step * power >= INT32_MAX / 10) return static_cast<int32_t>(step * power);
        }
    }
}
