// The report window's lines for screen readers: its own IAccessible and the events it sends.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include "app/accessible.h"

// WM_GETOBJECT: the report as a list with a list item per line, for OBJID_CLIENT; anything else
// as the system answers it.
LRESULT AnswerGetObject(HWND window, WPARAM wParam, LPARAM lParam);
// A new object for the window with one reference, as WM_GETOBJECT hands out; for tests.
IAccessible* NewReportAccessible(HWND window);
// Tells readers of a shown window what a report changed. `row` is the keyboard's server line.
void SendReportEvents(HWND window, const ReportEvents& events, int row);
// The keyboard's line moved to `row`: focus (while the window has it) and selection.
void SendLineFocus(HWND window, int row);
