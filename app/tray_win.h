// The one access to the tray icon: add, modify, delete, with the tip cut to 63 characters.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

constexpr UINT TRAY_ICON_ID = 1;
// The record's first layout, with its 64-byte tip: every shell takes it (88 bytes on 32-bit Windows).
constexpr DWORD TRAY_RECORD_SIZE = NOTIFYICONDATAA_V1_SIZE;
// The second layout, the first with a balloon's title and text.
constexpr DWORD BALLOON_RECORD_SIZE = NOTIFYICONDATAA_V2_SIZE;

// The tray's message version: NOTIFYICON_VERSION_4 once the shell took it at NIM_ADD, so that the
// icon can be used from the keyboard (NIN_SELECT, NIN_KEYSELECT, WM_CONTEXTMENU with the anchor in
// wParam); 0 where the shell refused it and only the mouse messages come.
extern UINT TrayIconVersion;

// Fills the record that SetTrayIcon hands to the shell.
void FillTrayRecord(NOTIFYICONDATAA& record, HWND window, DWORD operation, HICON icon, const char* tip);
BOOL SetTrayIcon(HWND window, DWORD operation, HICON icon, const char* tip);
// Shows a balloon from the icon, leaving its icon and tip as they are; silent unless sound is
// asked for. False when the shell refuses it.
void FillBalloonRecord(NOTIFYICONDATAA& record, HWND window, const char* title, const char* text, bool sound);
BOOL ShowTrayBalloon(HWND window, const char* title, const char* text, bool sound);
// Whether the user is in a full-screen game, a presentation or quiet time, or away; false where
// the shell cannot tell.
bool UserIsBusy();
// A copy of the icon at size pixels with the text drawn along its bottom; null when it cannot be made.
HICON MakeCountIcon(HICON base, int size, const std::string& text);
// Adds the icon again as last shown, after the taskbar has been re-created.
BOOL RestoreTrayIcon(HWND window);
// Hands the keyboard focus back to the tray, after a menu the user closed with Esc.
void FocusTray(HWND window);
