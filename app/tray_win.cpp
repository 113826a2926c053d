// The one access to the tray icon: add, modify, delete, with the tip cut to 63 characters.
#include "app/tray_win.h"

#include <vector>

#include "status/socket_win.h"
#include "status/text.h"
#include "view/count_icon.h"
#include "view/render_win.h"

namespace {
// What the tray shows now, so that a re-created taskbar gets the same icon and tip back.
HICON shownIcon;
char shownTip[64];

// The record's fixed part, as the shell identifies the icon.
void FillIdentity(NOTIFYICONDATAA& record, HWND window, DWORD size) {
    ZeroMemory(&record, sizeof record);
    record.cbSize = size;
    record.hWnd = window;
    record.uID = TRAY_ICON_ID;
}

// Version 4 wants the whole current record; a shell older than that refuses it.
UINT AskForVersion4(HWND window) {
    NOTIFYICONDATAA record;
    FillIdentity(record, window, sizeof record);
    record.uVersion = NOTIFYICON_VERSION_4;
    return Shell_NotifyIconA(NIM_SETVERSION, &record) ? NOTIFYICON_VERSION_4 : 0;
}
}  // namespace

UINT TrayIconVersion;

void FillTrayRecord(NOTIFYICONDATAA& record, HWND window, DWORD operation, HICON icon, const char* tip) {
    // Under version 4 the shell shows the standard tooltip only when asked to, in the record of
    // that version.
    const bool version4 = TrayIconVersion == NOTIFYICON_VERSION_4;
    FillIdentity(record, window, version4 ? sizeof record : TRAY_RECORD_SIZE);
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | (version4 ? NIF_SHOWTIP : 0);
    record.uCallbackMessage = WM_TRAYNOTIFY;
    if (operation == NIM_ADD || operation == NIM_MODIFY) record.hIcon = icon;
    // Cut between characters, never inside a double-byte one.
    const std::string text = tip ? tip : "";
    const size_t kept = CharactersWithin(text, 63);  // the first layout's tip holds 63 and a zero
    CopyMemory(record.szTip, text.data(), kept);
    record.szTip[kept] = 0;
}

BOOL SetTrayIcon(HWND window, DWORD operation, HICON icon, const char* tip) {
    NOTIFYICONDATAA record;
    FillTrayRecord(record, window, operation, icon, tip);
    if (operation == NIM_ADD || operation == NIM_MODIFY) {
        shownIcon = record.hIcon;
        lstrcpynA(shownTip, record.szTip, sizeof shownTip);
    }
    const BOOL done = Shell_NotifyIconA(operation, &record);
    if (operation == NIM_ADD && done) TrayIconVersion = AskForVersion4(window);
    return done;
}

void FillBalloonRecord(NOTIFYICONDATAA& record, HWND window, const char* title, const char* text, bool sound) {
    FillIdentity(record, window, BALLOON_RECORD_SIZE);
    record.uFlags = NIF_INFO;
    lstrcpynA(record.szInfo, text, sizeof record.szInfo);
    lstrcpynA(record.szInfoTitle, title, sizeof record.szInfoTitle);
    record.dwInfoFlags = NIIF_INFO | (sound ? 0 : NIIF_NOSOUND);
}

BOOL ShowTrayBalloon(HWND window, const char* title, const char* text, bool sound) {
    NOTIFYICONDATAA record;
    FillBalloonRecord(record, window, title, text, sound);
    return Shell_NotifyIconA(NIM_MODIFY, &record);
}

bool UserIsBusy() {
    // Looked up rather than imported: older shells do not have it, and there the user is available.
    using QueryState = HRESULT(WINAPI*)(int*);
    static const QueryState query = reinterpret_cast<QueryState>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("shell32.dll"), "SHQueryUserNotificationState")));
    int state = 0;
    if (!query || FAILED(query(&state))) return false;
    // Not present (away, locked), busy, full-screen Direct3D, presentation mode, quiet time.
    return state == 1 || state == 2 || state == 3 || state == 4 || state == 6;
}

HICON MakeCountIcon(HICON base, int size, const std::string& text) {
    const BITMAPINFO info = TopDownPictureInfo(size, size);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    void* colourBits = nullptr;
    void* maskBits = nullptr;
    HBITMAP colour = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &colourBits, nullptr, 0);
    HBITMAP maskPicture = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &maskBits, nullptr, 0);
    // The icon's mask (white where it is clear) and its picture, then one picture with alpha.
    HGDIOBJ previous = SelectObject(dc, maskPicture);
    DrawIconEx(dc, 0, 0, base, size, size, 0, nullptr, DI_MASK);
    SelectObject(dc, colour);
    DrawIconEx(dc, 0, 0, base, size, size, 0, nullptr, DI_IMAGE);
    SelectObject(dc, previous);
    GdiFlush();
    HICON made = nullptr;
    if (colourBits && maskBits) {
        uint32_t* pixels = static_cast<uint32_t*>(colourBits);
        const uint32_t* mask = static_cast<const uint32_t*>(maskBits);
        for (int i = 0; i < size * size; ++i) pixels[i] = (mask[i] & 0xFFFFFF) ? 0 : pixels[i] | 0xFF000000u;
        DrawCountText(pixels, size, text);
        const std::vector<unsigned char> clear(static_cast<size_t>((size + 15) / 16 * 2 * size), 0);
        HBITMAP opaque = CreateBitmap(size, size, 1, 1, clear.data());
        ICONINFO parts{TRUE, 0, 0, opaque, colour};
        made = CreateIconIndirect(&parts);
        DeleteObject(opaque);
    }
    DeleteObject(maskPicture);
    DeleteObject(colour);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return made;
}

BOOL RestoreTrayIcon(HWND window) {
    char tip[sizeof shownTip];
    lstrcpynA(tip, shownTip, sizeof tip);
    return SetTrayIcon(window, NIM_ADD, shownIcon, tip);
}

void FocusTray(HWND window) {
    NOTIFYICONDATAA record;
    FillIdentity(record, window, TRAY_RECORD_SIZE);
    Shell_NotifyIconA(NIM_SETFOCUS, &record);
}
