// Measures the real window procedure's reporting tick under Wine: decode, tray, render and copy,
// over 1,000 ticks, with the process's resident size, the desktop's windows and GDI markers after
// 10 and 10,000 more ticks, in which four watched servers go down and come back again and again and
// the tray icon shows the primary server's players, a new count each report.
#include <winsock2.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <string>
#include <cstdio>
#include <vector>

#include "app/app_win.h"
#include "app/tray_win.h"
#include "status/socket_win.h"
#include "tests/unit/answers.h"
#include "tests/win/loopback_peer.h"
#include "status/history_win.h"

namespace {
unsigned char names[NAMES_BUFFER_SIZE];
unsigned char status[STATUS_BUFFER_SIZE];
char report[REPORT_TEXT_SIZE];
char banner[BANNER_BUFFER_SIZE];

double Now() {
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

size_t ResidentBytes() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

// One honoured tick, as the timer would deliver it.
void Tick(HWND window) { SendMessageA(window, WM_TIMER, TheApp.Client.PollTimerId, 0); }

BOOL CALLBACK CountWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

// Top-level windows on the desktop, the shell's balloons among them.
int TopLevelWindows() {
    int count = 0;
    EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

void Mark(const char* what, int ticks) {
    std::fprintf(stderr, "MARK %s %d\n", what, ticks);
    std::fflush(stderr);
    std::printf("after %5d ticks: resident %zu KiB, %d top-level windows\n", ticks, ResidentBytes() / 1024,
                TopLevelWindows());
}
// A day of counts for every server of the largest answer, so that the graph column has its full
// work; and the time a full week of 64 servers takes to save and load.
void FillHistory() {
    const uint32_t now = CurrentMinute();
    std::vector<ServerEntry> servers;
    for (int i = 0; i < 127; ++i) servers.push_back({"Server" + std::to_string(1000 + i) + std::string(i == 126 ? 47 : 21, 'x'), 100 + i, 0});
    for (uint32_t m = now - 1440; m <= now; ++m) AddReport(TheApp.Client.Counts, m, servers);
    History week;
    servers.resize(64);
    for (uint32_t m = now - HISTORY_MINUTES + 1; m <= now; ++m) {
        for (size_t i = 0; i < servers.size(); ++i) servers[i].Players = static_cast<int32_t>((m + 37 * i) % 2000);
        AddReport(week, m, servers);
    }
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    const std::string folder = std::string(temp) + "tallowin-bench";
    std::vector<double> saves, loads;
    for (int i = 0; i < 20; ++i) {
        double start = Now();
        SaveHistoryFile(week, folder);
        saves.push_back(Now() - start);
        History loaded;
        start = Now();
        LoadHistoryFile(loaded, folder, now);
        loads.push_back(Now() - start);
    }
    std::sort(saves.begin(), saves.end());
    std::sort(loads.begin(), loads.end());
    std::printf("history of 64 servers for 7 days: %zu bytes in memory; save median %.1f ms, load median %.1f ms\n",
                HistoryMemoryBytes(week), saves[10] / 1000, loads[10] / 1000);
}
}  // namespace

int main() {
    LoopbackPeer peer;
    peer.Open("127.0.0.1");
    TheApp.Instance = GetModuleHandleA(nullptr);
    RegisterMainClass(TheApp);
    TheApp.StatusSocket = ConnectedStatusSocket("127.0.0.1");
    TheApp.Client.Buffers = StatusBuffers{names, 0, status, 0, banner, 0};
    TheApp.Client.ReportText = report;
    TheApp.Client.Link = StatusLink::Ready;  // the socket is connected to the peer already
    SetDefaultSettings(TheApp.UserSettings);
    TheApp.UserSettings.PrimaryServer = "Server1050" + std::string(21, 'x');
    // Wide enough for the graph column beside the longest names.
    HWND window = CreateWindowExA(0, MAKEINTATOM(TheApp.ClassAtom), "Tallowin", WS_OVERLAPPEDWINDOW, 0, 0, 1000, 600,
                                  nullptr, nullptr, TheApp.Instance, nullptr);
    PumpMessages(100);  // the first tick
    Mark("gdi", 1);
    FillHistory();
    // Both answers held: from now on every tick reports.
    const Bytes n = LargestNames(), s = LargestStatus();
    for (const char* label : {"worked example", "largest answer"}) {
        if (label[0] == 'w') {
            const Bytes wn = WorkedNames(), ws = WorkedStatus();
            DispatchDatagram(TheApp.Client.Buffers, wn.data(), wn.size(), GetTickCount());
            DispatchDatagram(TheApp.Client.Buffers, ws.data(), ws.size(), GetTickCount());
        } else {
            DispatchDatagram(TheApp.Client.Buffers, n.data(), n.size(), GetTickCount());
            DispatchDatagram(TheApp.Client.Buffers, s.data(), s.size(), GetTickCount());
        }
        // Every tick a new answer, as from a live service (the history takes only those).
        const Bytes& answer = label[0] == 'w' ? WorkedStatus() : s;
        std::vector<double> costs;
        for (int i = 0; i < 1000; ++i) {
            DispatchDatagram(TheApp.Client.Buffers, answer.data(), answer.size(), GetTickCount());
            const double start = Now();
            Tick(window);
            costs.push_back(Now() - start);
        }
        std::sort(costs.begin(), costs.end());
        std::printf("tick (%s): median %.1f us, 99th %.1f us, worst %.1f us over 1000 ticks\n", label, costs[500],
                    costs[990], costs.back());
    }
    // The parts of a reporting tick, each on its own.
    struct Part {
        const char* name;
        void (*run)(HWND);
    };
    const Part parts[] = {
        {"decode", [](HWND) {
             StatusBuffers& b = TheApp.Client.Buffers;
             DecodeStatus(TheApp.Client.Decode, TheApp.UserSettings.PrimaryServer, TheApp.Client.ReportText,
                          b.NamesBuffer, b.NamesLength, b.StatusBuffer, b.StatusLength);
         }},
        {"tray modify", [](HWND w) { SetTrayIcon(w, NIM_MODIFY, TheApp.IconUp, "1402 Players on Luclin,\r\n8098"); }},
        {"render", [](HWND) { RenderReport(TheApp.Canvas, TheApp.Client.ReportText); }},
        {"copy", [](HWND) { CopyReport(TheApp.Canvas); }},
        {"graphs", [](HWND) {  // drawn afresh, as on the first report of a minute
             TheApp.GraphDrawnFor.Minute = 0;
             DrawGraphColumn();
         }},
    };
    for (const Part& part : parts) {
        std::vector<double> costs;
        for (int i = 0; i < 1000; ++i) {
            const double start = Now();
            part.run(window);
            costs.push_back(Now() - start);
        }
        std::sort(costs.begin(), costs.end());
        std::printf("  %-12s median %8.1f us, worst %8.1f us\n", part.name, costs[500], costs.back());
    }
    // Every report a new answer; every ten reports the primary and three watched servers change.
    Bytes down = s;
    for (int m = 49; m <= 52; ++m) down[8 + 4 * m] = down[9 + 4 * m] = 0xFF;
    for (int i = 1051; i <= 1053; ++i)
        TheApp.UserSettings.WatchedServers.push_back("Server" + std::to_string(i) + std::string(21, 'x'));
    int ticks = 2000, balloons = 0;
    Mark("gdi", ticks);
    // The primary's players on the tray icon, a new count each report while it is up.
    TheApp.UserSettings.TrayShowsCount = true;
    Bytes up = s;
    int newIcons = 0;
    for (int i = 0; i < 10000; ++i) {
        const int players = 100 + i % 800;
        up[204] = static_cast<unsigned char>(players >> 8);
        up[205] = static_cast<unsigned char>(players);
        const Bytes& answer = (i / 10) % 2 ? down : up;
        const HICON shown = TheApp.CountIcon;
        DispatchDatagram(TheApp.Client.Buffers, answer.data(), answer.size(), GetTickCount());
        const std::vector<WatchedServer>& watched = TheApp.Client.Alerts.Servers;
        const ServerState told = watched.empty() ? ServerState::Unknown : watched[0].Told;
        Tick(window);
        if (!watched.empty() && watched[0].Told != told) ++balloons;
        if (TheApp.CountIcon && TheApp.CountIcon != shown) ++newIcons;
        if (++ticks == 2010) Mark("gdi", ticks);
    }
    Mark("gdi", ticks);
    std::printf("balloons shown over the last 10000 reports: %d; tray icons with a new count: %d\n", balloons, newIcons);
    DestroyWindow(window);
    while (!peer.Receive(10).empty()) {
    }
    return 0;
}
