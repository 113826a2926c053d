// The installer's two actions of its own, on the "Run Tallowin on startup" value: an uninstall takes it
// away when it starts the program being removed, so that no start-up entry is left pointing at nothing;
// an upgrade keeps it.
#include <windows.h>
#include <msiquery.h>

namespace {
const wchar_t RUN_KEY[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t RUN_VALUE[] = L"Tallowin";
// The program writes its own quoted path; a path of MAX_PATH, two quotes and the end.
const DWORD ENTRY_ROOM = MAX_PATH + 3;
typedef wchar_t Entry[ENTRY_ROOM];

// A deferred action's data (its one way to learn anything from the package): false when empty.
bool ReadActionData(MSIHANDLE install, Entry& data) {
    DWORD length = ENTRY_ROOM;
    return MsiGetPropertyW(install, L"CustomActionData", data, &length) == ERROR_SUCCESS && length > 0;
}

HKEY OpenRunKey() {
    HKEY key = nullptr;
    return RegCreateKeyExW(HKEY_CURRENT_USER, RUN_KEY, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr,
                           &key, nullptr) == ERROR_SUCCESS
               ? key
               : nullptr;
}

// The value as text, or false when it is missing, of another kind or longer than any entry of ours.
bool ReadRunEntry(HKEY key, Entry& entry) {
    DWORD kind = 0;
    DWORD size = sizeof entry - sizeof entry[0];
    if (RegQueryValueExW(key, RUN_VALUE, nullptr, &kind, reinterpret_cast<BYTE*>(entry), &size) != ERROR_SUCCESS ||
        kind != REG_SZ) {
        return false;
    }
    entry[size / sizeof entry[0]] = 0;
    return true;
}
}  // namespace

// Both actions' data is the entry the installed program writes ("[INSTALLDIR]Tallowin.exe" in quotes), and
// neither ever fails the installation.

// At uninstall, not at an upgrade. Paths compare as Windows compares them, without regard to case.
extern "C" __declspec(dllexport) UINT __stdcall ForgetStartup(MSIHANDLE install) {
    Entry installed, entry;
    HKEY key = ReadActionData(install, installed) ? OpenRunKey() : nullptr;
    if (!key) return ERROR_SUCCESS;
    if (ReadRunEntry(key, entry) && CompareStringOrdinal(entry, -1, installed, -1, TRUE) == CSTR_EQUAL)
        RegDeleteValueW(key, RUN_VALUE);
    RegCloseKey(key);
    return ERROR_SUCCESS;
}

// At an upgrade that found an entry, after the older version is gone. Windows tells the older version's
// uninstall that it is an upgrade, and the entry stays; an installer that does not (Wine's) lets it go,
// and it is put back.
extern "C" __declspec(dllexport) UINT __stdcall KeepStartup(MSIHANDLE install) {
    Entry before, entry;
    HKEY key = ReadActionData(install, before) ? OpenRunKey() : nullptr;
    if (!key) return ERROR_SUCCESS;
    if (!ReadRunEntry(key, entry)) {
        RegSetValueExW(key, RUN_VALUE, 0, REG_SZ, reinterpret_cast<const BYTE*>(before),
                       static_cast<DWORD>((lstrlenW(before) + 1) * sizeof before[0]));
    }
    RegCloseKey(key);
    return ERROR_SUCCESS;
}
