// The history's file: history.dat in the user's local application data, saved whole or not at all.
#pragma once

#include <windows.h>

#include <string>

#include "status/history.h"

// %LOCALAPPDATA%\Tallowin, or empty when the system names no such folder.
std::string HistoryFolder();
// Minutes since 1970 (UTC) on the system clock.
uint32_t CurrentMinute();

// Writes the history to folder\history.tmp, flushes it and renames it over folder\history.dat, so
// that a crash or a full disk leaves the last good file. Makes the folder when it is missing.
// False when any step fails; the old file then stays.
bool SaveHistoryFile(const History& history, const std::string& folder);

enum class HistoryFileState { Loaded, Missing, Damaged, Unreadable };
// Reads folder\history.dat, trimmed to the week before nowMinute. A missing file starts an empty
// history; a file that is short, damaged, of another version or foreign does too, and is kept as
// history.bad (replacing an older one) for the user to look at. A file that cannot be read or set
// aside (in use, no access) starts an empty history too and is left where it is: the caller must
// not save over it.
HistoryFileState LoadHistoryFile(History& history, const std::string& folder, uint32_t nowMinute);
