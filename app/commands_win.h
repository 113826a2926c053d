// The main window's two pop-up menus and its eight menu commands.
#pragma once

#include <windows.h>

// WM_RBUTTONUP in the client area: the menu without Show, Options its default, and on a server's
// line the item to watch that server.
void ShowClientMenu(HWND window, LPARAM clickPoint);
// F10 or the context-menu key in the window: the same menu below the keyboard's line, for its
// server; at the report's corner while there is none.
void ShowClientMenuFromKeyboard(HWND window);
// The tray icon's menu: the whole menu at the anchor the shell gave (or the cursor without one),
// Show its default.
void ShowTrayMenu(HWND window, const POINT* anchor);
// WM_COMMAND: carries out a menu command; false when wParam is none of them.
bool RunMenuCommand(HWND window, WPARAM wParam);
