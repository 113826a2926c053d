// The Options and About dialogs and the start-with-Windows entry.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>
#include <vector>

#include "settings/settings.h"
#include "status/decode.h"

extern const char* const RUN_KEY;

using FileChooser = BOOL(WINAPI*)(OPENFILENAMEA*);

// Runs the Options dialog modally over the given settings and server list; IDOK, 2 or -1. While
// one of the two dialogs is open, either request brings that one to the front and returns 2.
INT_PTR RunOptionsDialog(HINSTANCE instance, HWND owner, Settings& settings, const std::vector<ServerEntry>& servers);
INT_PTR CALLBACK OptionsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Runs the dialog "Minimum for NAME" over the given settings: an empty field goes back to the
// Options minimum, a number sets the server's own and watches it. IDOK, 2 or -1; like the others, a
// request while a dialog is open brings that one to the front.
INT_PTR RunMinimumDialog(HINSTANCE instance, HWND owner, Settings& settings, const std::string& server);
// Runs the About dialog modally.
INT_PTR RunAboutDialog(HINSTANCE instance, HWND owner);
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// A warning box saying why a field's text is refused, then the focus on that field.
void RefuseField(HWND dialog, int id, const char* why);

// Leaves a dialog where its template puts it while its owner is visible; else centres it on
// the desktop, 80 pixels from the top.
void PlaceDialog(HWND dialog);
// The dialog open now, kept from its WM_INITDIALOG until its run ends.
extern HWND OpenDialog;
// Runs one of the two dialogs modally, unless one is open already: that one comes to the front
// and the result is IDCANCEL.
INT_PTR RunOneDialog(HINSTANCE instance, int id, HWND owner, DLGPROC procedure);

// Deletes the value "Tallowin" under root\path and, when run is set, writes it again with the
// program's quoted path. False when the key cannot be opened.
bool RewriteRunEntry(HKEY root, const char* path, bool run, const char* programPath);

// A file chooser's request of the 400 layout, zero but for these; the caller sets the rest.
void FillFileRequest(OPENFILENAMEA& request, HWND owner, const char* filter, char* file, const char* title,
                     DWORD flags, const char* extension);
// Runs a chooser and puts the current directory back afterwards: the chooser leaves it in the
// folder chosen, which would keep that folder in use while the program runs.
BOOL ChooseKeepingDirectory(FileChooser chooser, OPENFILENAMEA& request);

// A call of comdlg32, which is loaded on first use; null when it cannot be had.
using AnyCall = void (*)();
AnyCall CommonDialogCall(const char* name);

// The file chooser the browse button uses: GetOpenFileNameA from comdlg32, loaded on first use.
// Tests put their own here.
extern FileChooser ChooseGameFile;

// Reads the file version of the given module's file into "Version a.b.c.d"; false (and out
// empty) when it cannot be read. The version library is loaded on first use.
bool ReadFileVersion(const char* path, char* out, size_t room);
