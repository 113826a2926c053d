// The one access to the tray icon: add, modify, delete, with the tip cut to 63 characters.
#pragma once

#include <windows.h>
#include <shellapi.h>

constexpr UINT TRAY_ICON_ID = 1;
constexpr DWORD TRAY_RECORD_SIZE = 88;  // the first layout of the record, with its 64-byte tip

// Fills the record that SetTrayIcon hands to the shell.
void FillTrayRecord(NOTIFYICONDATAA& record, HWND window, DWORD operation, HICON icon, const char* tip);
BOOL SetTrayIcon(HWND window, DWORD operation, HICON icon, const char* tip);
// Adds the icon again as last shown, after the taskbar has been re-created.
BOOL RestoreTrayIcon(HWND window);
