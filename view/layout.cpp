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
