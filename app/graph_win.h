// The graph window of one server: its players over the last 24 hours and 7 days, and their CSV.
#pragma once

#include <windows.h>

#include <string>

#include "app/dialogs_win.h"

extern const char* const GRAPH_CLASS_NAME;

// Registers "TallowinGraphClass"; 0 on failure.
ATOM RegisterGraphClass(HINSTANCE instance);
// Opens the server's window "NAME - Tallowin", or brings it to the front when it is open.
HWND OpenGraphWindow(const std::string& server);
// The open windows' graphs are drawn again, as after a report.
void RedrawGraphWindows();
// Closes them all, as the program ends.
void CloseGraphWindows();

// The "Save as CSV..." chooser: GetSaveFileNameA from comdlg32, loaded on first use. Tests put their own here.
extern FileChooser SaveCsvChooser;

LRESULT CALLBACK GraphWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
