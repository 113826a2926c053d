// The main window's two pop-up menus and its eight menu commands.
#pragma once

#include <windows.h>

// WM_RBUTTONUP in the client area: the menu without Show, Options its default.
void ShowClientMenu(HWND window, LPARAM clickPoint);
// The tray icon's right click: the whole menu at the cursor, Show its default.
void ShowTrayMenu(HWND window);
// WM_COMMAND: carries out a menu command; false when wParam is none of them.
bool RunMenuCommand(HWND window, WPARAM wParam);
