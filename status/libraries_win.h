// Libraries of Windows itself, loaded on first use from the system folder only: a file of the same
// name beside the program (a Downloads folder) or in the current folder is never loaded.
#pragma once

#include <windows.h>

// Called once at start, before any library is loaded on demand or another thread runs: every later
// search for a library by name looks in the system folder only.
void SearchSystemFolderOnly();
// A library of the system folder by its file name ("winhttp.dll"); null when it cannot be loaded.
HMODULE LoadSystemLibrary(const char* fileName);

// Whether this Windows searches by LoadLibraryEx's LOAD_LIBRARY_SEARCH_ flags (8 and later, 7 and
// Vista with KB2533623); set by SearchSystemFolderOnly. Without them a library is loaded by its full
// path in the system folder. Tests clear it to take that way.
extern bool SystemSearchFlags;
