// The Options and About dialogs' rules that need no window: sort radios, placement, the
// primary-server list, the Run entry's text and the About text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "status/decode.h"

// The sort radio button that shows a stored SortOrder, and the SortOrder the checked radios give.
int SortRadioFor(int32_t sortOrder);
int32_t SortOrderFromRadios(bool noneChecked, bool nameChecked);

// Left edge of a dialog centred on the desktop: each halving drops its remainder.
int CentredDialogLeft(int desktopWidth, int dialogWidth);
constexpr int DIALOG_TOP_WHEN_OWNER_HIDDEN = 80;

// The decoded names the primary-server list offers besides the stored primary server. The dialog
// adds that one last, listed or not, and selects it by the place the sorted list gives it: so OK
// keeps it unless the user picks another, and a name it merely begins is never taken for it.
std::vector<std::string> OtherServerNames(const std::vector<ServerEntry>& servers, const std::string& primary);
// The list's first entry, which stands for no primary server.
extern const char* const NO_PRIMARY_TEXT;

// The Run entry's data: the program's path in quotes, so that a path with spaces cannot be read
// as a shorter program's path with arguments.
std::string RunEntryText(const std::string& programPath);

// "Version a.b.c.d" from a fixed file version's two 32-bit halves.
void FormatFileVersion(char* out, size_t room, uint32_t versionMS, uint32_t versionLS);
// "Tallowin ", the version text (may be empty), a line feed and the notice, cut to room.
void ComposeAboutText(char* out, size_t room, const char* versionText);
