// Tests of RenderReport under Wine: the bitmap read back, its size, rules, colours and tab stops.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "view/layout.h"
#include "view/render_win.h"

namespace {
constexpr COLORREF TEXT_GREEN = RGB(0, 192, 0);
constexpr COLORREF RULE_GREEN = RGB(0, 128, 0);

// A hidden window of its own class with CS_OWNDC, as the main window has.
struct Canvas : testing::Test {
    HWND window = nullptr;
    ReportCanvas canvas{};

    void SetUp() override {
        WNDCLASSA wc{};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "RenderTestClass";
        RegisterClassA(&wc);
        window = CreateWindowExA(0, "RenderTestClass", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 400, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        ASSERT_NE(window, nullptr);
        CreateReportCanvas(canvas, window);
    }
    void TearDown() override {
        ReleaseReportCanvas(canvas, window);
        DestroyWindow(window);
    }

    // The report bitmap's pixels, copied out through a 32-bit DIB section.
    std::vector<COLORREF> Pixels() {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = canvas.ReportWidth;
        info.bmiHeader.biHeight = -canvas.ReportHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP dib = CreateDIBSection(canvas.WindowDC, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(canvas.WindowDC);
        HGDIOBJ old = SelectObject(dc, dib);
        BitBlt(dc, 0, 0, canvas.ReportWidth, canvas.ReportHeight, canvas.MemoryDC, 0, 0, SRCCOPY);
        GdiFlush();
        std::vector<COLORREF> pixels;
        const auto* p = static_cast<const DWORD*>(bits);
        for (int i = 0; i < canvas.ReportWidth * canvas.ReportHeight; ++i)
            pixels.push_back(RGB((p[i] >> 16) & 0xFF, (p[i] >> 8) & 0xFF, p[i] & 0xFF));
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(dib);
        return pixels;
    }
    COLORREF At(const std::vector<COLORREF>& pixels, int x, int y) { return pixels[y * canvas.ReportWidth + x]; }
    // The longest run of exactly this colour in row y that starts at x = 0.
    int RunFromLeft(const std::vector<COLORREF>& pixels, int y, COLORREF colour) {
        int x = 0;
        while (x < canvas.ReportWidth && At(pixels, x, y) == colour) ++x;
        return x;
    }
    SIZE Extent(const std::string& text, int stops = 0, int* stop = nullptr) {
        const DWORD packed = GetTabbedTextExtentA(canvas.MemoryDC, text.c_str(), static_cast<int>(text.size()), stops, stop);
        return SIZE{static_cast<LONG>(LOWORD(packed)), static_cast<LONG>(HIWORD(packed))};
    }
    std::vector<int> RuleRows(const std::vector<COLORREF>& pixels) {
        std::vector<int> rows;
        for (int y = 0; y < canvas.ReportHeight; ++y)
            if (RunFromLeft(pixels, y, RULE_GREEN) > 20) rows.push_back(y);
        return rows;
    }
};

const std::string REPORT = "Servers\tPlayers\tZones\nBertoxxulous\t812\t31\nVox\tDOWN\t0\n1307 Players on EverQuest";
}  // namespace

TEST_F(Canvas, SizeComesFromTheFirstColumnsButTheLast) {
    RenderReport(canvas, REPORT.c_str());
    const int widest = std::max({Extent("Servers").cx, Extent("Bertoxxulous").cx, Extent("Vox").cx});
    const int line = Extent("Servers").cy;
    EXPECT_EQ(canvas.ReportWidth, 3 * widest);
    EXPECT_EQ(canvas.ReportHeight, 4 * line);
}

TEST_F(Canvas, RulesSitBelowTheHeaderAndAboveTheTotal) {
    RenderReport(canvas, REPORT.c_str());
    const std::vector<COLORREF> pixels = Pixels();
    const int line = Extent("Servers").cy;
    EXPECT_EQ(RuleRows(pixels), (std::vector<int>{line, 3 * line}));
    const int widest = std::max({Extent("Servers").cx, Extent("Bertoxxulous").cx, Extent("Vox").cx});
    int stops[2] = {-(widest + 80), -(widest + 150)};
    int drawn = 0;
    for (const char* l : {"Servers\tPlayers\tZones", "Bertoxxulous\t812\t31", "Vox\tDOWN\t0", "1307 Players on EverQuest"})
        drawn = std::max<int>(drawn, Extent(l, 2, stops).cx);
    // Each rule covers x = 0 to D, cut where the bitmap ends.
    EXPECT_EQ(RunFromLeft(pixels, line, RULE_GREEN), std::min(drawn + 1, canvas.ReportWidth));
}

TEST_F(Canvas, TextIsGreenOnBlack) {
    RenderReport(canvas, REPORT.c_str());
    const std::vector<COLORREF> pixels = Pixels();
    const long text = std::count(pixels.begin(), pixels.end(), TEXT_GREEN);
    const long black = std::count(pixels.begin(), pixels.end(), RGB(0, 0, 0));
    EXPECT_GT(text, 200);
    EXPECT_GT(black, static_cast<long>(pixels.size()) / 2);
    for (int y = 0; y < canvas.ReportHeight; ++y) EXPECT_NE(At(pixels, 0, y), TEXT_GREEN) << y;  // text starts at x = 1
}

TEST_F(Canvas, OneLineTextHasNoRules) {
    const std::string waiting = "Waiting for server names...";
    RenderReport(canvas, waiting.c_str());
    EXPECT_EQ(canvas.ReportWidth, 3 * Extent(waiting).cx);
    EXPECT_EQ(canvas.ReportHeight, Extent(waiting).cy);
    EXPECT_TRUE(RuleRows(Pixels()).empty());
}

TEST_F(Canvas, TwoLineTextDrawsBothRulesOnOneRow) {
    RenderReport(canvas, "Alpha\t1\t2\nTotal");
    EXPECT_EQ(RuleRows(Pixels()), std::vector<int>{Extent("Alpha").cy});
}

TEST_F(Canvas, TheTotalLineDoesNotMoveTheColumns) {
    RenderReport(canvas, "Servers\tPlayers\tZones\nAlpha\t1234\t10\n1 Players");
    const std::vector<COLORREF> shortTotal = Pixels();
    const int width = canvas.ReportWidth, line = Extent("Alpha").cy;
    RenderReport(canvas, "Servers\tPlayers\tZones\nAlpha\t1234\t10\n1234567 Players on EverQuest and a long tail");
    const std::vector<COLORREF> longTotal = Pixels();
    ASSERT_EQ(canvas.ReportWidth, width);
    for (int y = line + 1; y < 2 * line; ++y)
        for (int x = 0; x < width; ++x) ASSERT_EQ(At(shortTotal, x, y), At(longTotal, x, y)) << x << "," << y;
}

TEST_F(Canvas, EachRenderReplacesTheOneBitmap) {
    RenderReport(canvas, REPORT.c_str());
    HBITMAP first = canvas.ReportBitmap;
    RenderReport(canvas, "Waiting for server status...");
    EXPECT_NE(canvas.ReportBitmap, nullptr);
    EXPECT_EQ(GetObjectType(first), 0u);  // deleted
    EXPECT_EQ(GetCurrentObject(canvas.MemoryDC, OBJ_BITMAP), canvas.ReportBitmap);
    std::vector<HBITMAP> seen;
    for (int i = 0; i < 10000; ++i) {
        RenderReport(canvas, (i % 2) ? REPORT.c_str() : "Waiting for server status...");
        if (i % 1000 == 0) seen.push_back(canvas.ReportBitmap);
    }
    for (size_t i = 0; i + 1 < seen.size(); ++i) EXPECT_EQ(GetObjectType(seen[i]), 0u) << i;
    EXPECT_EQ(GetObjectType(canvas.ReportBitmap), static_cast<DWORD>(OBJ_BITMAP));
}

TEST_F(Canvas, ReleaseRestoresTheOriginalObjects) {
    RenderReport(canvas, REPORT.c_str());
    HPEN pen = canvas.ReportPen;
    HBITMAP bitmap = canvas.ReportBitmap;
    ReleaseReportCanvas(canvas, window);
    EXPECT_EQ(GetObjectType(pen), 0u);
    EXPECT_EQ(GetObjectType(bitmap), 0u);
    EXPECT_EQ(canvas.MemoryDC, nullptr);
    CreateReportCanvas(canvas, window);  // for TearDown
}

TEST_F(Canvas, HighContrastDrawsInTheSystemColours) {
    bool (*const system)() = HighContrastOn;
    HighContrastOn = [] { return true; };
    SetReportColours(canvas);
    HighContrastOn = system;
    RenderReport(canvas, REPORT.c_str());
    const std::vector<COLORREF> pixels = Pixels();
    EXPECT_EQ(At(pixels, 0, 0), GetSysColor(COLOR_WINDOW));
    EXPECT_GT(std::count(pixels.begin(), pixels.begin() + 8 * canvas.ReportWidth, GetSysColor(COLOR_WINDOWTEXT)), 20);  // heading
}
