// The history's file: history.dat in the user's local application data, saved whole or not at all.
#pragma once

#include <windows.h>

#include <string>

#include "status/history.h"

// %LOCALAPPDATA%\Tallowin, or empty when the system names no such folder.
std::string HistoryFolder();
// Minutes since 1970 (UTC) on the system clock.
uint32_t CurrentMinute();

// Writes the history's servers to folder\history.tmp, flushes it and renames it over
// folder\history.dat, so that a crash or a full disk leaves the last good file; what a change of the
// clock set aside, with the state of the clock, goes to history.old the same way (deleted when there
// is none). Makes the folder when it is missing. False when any step fails; the old file then stays.
bool SaveHistoryFile(const History& history, const std::string& folder);

enum class HistoryFileState { Loaded, Missing, Damaged, Unreadable, Newer };
// Reads folder\history.dat and history.old, fitted to the clock at nowMinute (LoadHistory). A missing
// history.dat starts from what history.old holds, if anything; one that is short, damaged or foreign
// does too, and is kept as history.bad (replacing an older one) for the user to look at. A file of a
// later version, or one that cannot be read or set aside (in use, no access), starts an empty
// history and is left where it is: the caller must not save over the first, and must merge the
// second before saving.
HistoryFileState LoadHistoryFile(History& history, const std::string& folder, uint32_t nowMinute);
// The history saved as the state its file was read in allows: merged first with a file that could
// not be read then (state becomes what reading it now finds; while it stays in use nothing is saved
// and the next call tries again); never over a file of a later version. False when nothing was saved.
bool SaveHistoryAfterLoad(History& history, const std::string& folder, HistoryFileState& state);
