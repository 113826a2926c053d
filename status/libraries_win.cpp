// Libraries of Windows itself, loaded from the system folder only.
#include "status/libraries_win.h"

#include <cstring>

bool SystemSearchFlags = false;

void SearchSystemFolderOnly() {
    // Looked up, not imported: a Windows without it would not start the program at all.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    const auto setDefault = reinterpret_cast<SetDirectories>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    SystemSearchFlags = setDefault && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // There the current folder at least leaves the search of what other code loads by name.
    if (!SystemSearchFlags) SetDllDirectoryA("");
}

HMODULE LoadSystemLibrary(const char* fileName) {
    if (SystemSearchFlags) return LoadLibraryExA(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    char path[MAX_PATH];
    const size_t folder = GetSystemDirectoryA(path, MAX_PATH);
    if (folder == 0 || folder + 1 + std::strlen(fileName) >= MAX_PATH) return nullptr;
    path[folder] = '\\';
    std::strcpy(path + folder + 1, fileName);
    // The libraries it imports in turn are then looked for beside it, not beside the program.
    return LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
