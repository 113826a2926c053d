// The program's process-wide state and the main window's procedure.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/accessible.h"
#include "settings/settings.h"
#include "status/history_win.h"
#include "status/poll.h"
#include "view/render_win.h"

extern const char* const MAIN_CLASS_NAME;

struct App {
    HINSTANCE Instance = nullptr;
    HWND Window = nullptr;
    ATOM ClassAtom = 0;
    HICON LargeClassIcon = nullptr;
    HICON SmallClassIcon = nullptr;
    SOCKET StatusSocket = INVALID_SOCKET;
    bool StatusSocketConnected = false;  // once connected, a new link takes a new socket
    Settings UserSettings;
    StatusClient Client;
    ReportCanvas Canvas{};
    HICON IconUp = nullptr;
    HICON IconDown = nullptr;
    HICON IconNeutral = nullptr;
    HICON CountIcon = nullptr;       // the up or down icon with the primary server's players on it
    HICON CountIconBase = nullptr;   // what it was drawn for
    std::string CountIconText;
    UINT TaskbarCreated = 0;     // the shell's broadcast after Explorer restarts
    bool SavedAtSessionEnd = false;
    bool ShowingReport = false;      // the text drawn is the decoded report
    std::vector<size_t> ReportRows;  // the server list entry each drawn server line shows
    std::string MenuServer;          // the server whose line the client menu was opened on
    SpokenReport Spoken;             // what a screen reader hears of the lines drawn
    SpokenReport SpokenBefore;       // of the lines drawn before, kept for its storage
    int SelectedRow = -1;            // the keyboard's server line (a line of Spoken), or -1
    std::string SelectedServer;      // its server, kept while no report is drawn
    bool FocusCues = false;          // the keyboard has been used in the window: its line is outlined
    char PausedUntil[6] = "";        // "HH:MM", local time, while alerts are paused
    std::string HistoryFolder;       // where history.dat is kept
    HistoryFileState HistoryFile = HistoryFileState::Missing;  // what reading history.dat found
    std::string DisplayText;         // the report as drawn: its server lines in the chosen order
    std::vector<int32_t> GraphBuckets;  // the graph column's values, a row of them a server line
    // What the graph column was last drawn for: its minute, geometry and servers. The minute's
    // counts change only by a pixel's worth, so within it the column is drawn again only when
    // the lines or the window change.
    struct {
        uint32_t Minute;
        int ClientWidth, LineHeight, ReportHeight, TextColumn, Dpi;
        std::vector<std::string> Names;
    } GraphDrawnFor{};
};

constexpr unsigned HISTORY_TIMER_EVENT = 2;
constexpr uint32_t DAY_MINUTES = 24 * 60;
constexpr UINT HISTORY_SAVE_INTERVAL = 600000;  // the history is saved every 10 minutes

extern App TheApp;

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// Registers "TallowinDisplayClass" with its icons; 0 on failure.
ATOM RegisterMainClass(App& app);
// Draws a text into the window; for the decoded report, its lines are the server list's in the
// chosen order, with their graphs and marks.
void ShowReport(const char* text, bool report);
// Draws the last text again, as after a change of settings or resolution.
void ShowReportAgain();
// Sets the tray's icon and tip again from the last report, as after a change of settings.
void ShowTrayAgain();
// The graph column for the server lines drawn, at the window's width now.
void DrawGraphColumn();
// Moves the keyboard's line to a server line of the report drawn and tells screen readers.
void SelectReportLine(int row);
// Marks the lines of the watched servers and shows the marks.
void MarkWatchedRows();
// The server list entry drawn at a client-area point, or -1.
int ServerAtPoint(int clientY);
// The local time, minutes from now, as "HH:MM" (6 bytes).
void FormatLocalClock(char* hhmm, int minutesFromNow);
// Saves the settings to the current user's key.
void SaveUserSettings(const Settings& settings);
// Saves the history to its file, merged first with a file that could not be read at start; never over
// a file of a later version. Failures keep the last good file and are not reported.
void SaveUserHistory();
// Looks the chosen status host up and connects the socket to it, naming the host in `host`;
// connectFailed (when given) is set when the host was found but the socket could not be connected.
StatusLink OpenStatusLink(App& app, std::string& host, bool* connectFailed = nullptr);
// After the settings changed: when they name another status host (or the one named could not be
// reached), the answers are forgotten and the next tick, at once, looks it up.
void ReopenStatusLink(HWND window);
// The whole program: start-up, the message loop and shutdown. Always returns 0.
int RunTallowin(HINSTANCE instance);
