// The About dialog: the program's name with its file version, and the maker's notice.
#include "app/dialogs_win.h"

#include <vector>

#include "res/resource.h"
#include "app/dialogs.h"
#include "status/libraries_win.h"

namespace {
// The version library's three calls, looked up once.
struct VersionLibrary {
    DWORD(WINAPI* SizeOf)(LPCSTR, LPDWORD) = nullptr;
    BOOL(WINAPI* Read)(LPCSTR, DWORD, DWORD, LPVOID) = nullptr;
    BOOL(WINAPI* Query)(LPCVOID, LPCSTR, LPVOID*, PUINT) = nullptr;
};

template <typename Function>
void Find(HMODULE library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(library, name)));
}

const VersionLibrary& Version() {
    static VersionLibrary calls;
    static bool loaded = false;
    if (!loaded) {
        loaded = true;
        if (HMODULE library = LoadSystemLibrary("version.dll")) {
            Find(library, "GetFileVersionInfoSizeA", calls.SizeOf);
            Find(library, "GetFileVersionInfoA", calls.Read);
            Find(library, "VerQueryValueA", calls.Query);
        }
    }
    return calls;
}

INT_PTR OnAboutInit(HWND dialog) {
    OpenDialog = dialog;
    char version[128] = "";
    char path[MAX_PATH] = "";
    if (GetModuleFileNameA(nullptr, path, sizeof path) != 0) ReadFileVersion(path, version, sizeof version);
    char text[1024];
    ComposeAboutText(text, sizeof text, version);
    SetDlgItemTextA(dialog, IDC_ABOUT_TEXT, text);
    PlaceDialog(dialog);
    return TRUE;
}
}  // namespace

bool ReadFileVersion(const char* path, char* out, size_t room) {
    out[0] = 0;
    const VersionLibrary& calls = Version();
    if (!calls.SizeOf || !calls.Read || !calls.Query) return false;
    const DWORD size = calls.SizeOf(path, nullptr);
    if (size == 0) return false;
    std::vector<unsigned char> block(size);
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!calls.Read(path, 0, size, block.data()) ||
        !calls.Query(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length) || !fixed ||
        length < sizeof *fixed) {
        return false;
    }
    FormatFileVersion(out, room, fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    return true;
}

INT_PTR RunAboutDialog(HINSTANCE instance, HWND owner) {
    return RunOneDialog(instance, IDD_ABOUT, owner, AboutDialogProc);
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return OnAboutInit(dialog);
    case WM_COMMAND:
        if (wParam == IDOK || wParam == IDCANCEL) EndDialog(dialog, IDCANCEL);
        return FALSE;
    case WM_CLOSE: EndDialog(dialog, IDCANCEL); return FALSE;
    default: return FALSE;
    }
}
