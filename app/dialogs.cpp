// The Options and About dialogs' rules that need no window.
#include "app/dialogs.h"

#include <cstdio>

#include "app/commands.h"
#include "res/resource.h"
#include "settings/settings.h"

int SortRadioFor(int32_t sortOrder) {
    if (sortOrder == SORT_NONE) return IDC_SORT_NONE;
    if (sortOrder == SORT_BY_NAME) return IDC_SORT_NAME;
    return IDC_SORT_PLAYERS;
}

int32_t SortOrderFromRadios(bool noneChecked, bool nameChecked) {
    if (noneChecked) return SORT_NONE;
    if (nameChecked) return SORT_BY_NAME;
    return SORT_BY_PLAYERS;
}

int CentredDialogLeft(int desktopWidth, int dialogWidth) { return desktopWidth / 2 - dialogWidth / 2; }

const char* const NO_PRIMARY_TEXT = "(none)";

std::vector<std::string> OtherServerNames(const std::vector<ServerEntry>& servers, const std::string& primary) {
    std::vector<std::string> names;
    names.reserve(servers.size());
    for (const ServerEntry& entry : servers) {
        if (primary.empty() || entry.Name != primary) names.push_back(entry.Name);
    }
    return names;
}

std::string RunEntryText(const std::string& programPath) { return "\"" + programPath + "\""; }

void FormatFileVersion(char* out, size_t room, uint32_t versionMS, uint32_t versionLS) {
    std::snprintf(out, room, "Version %u.%u.%u.%u", versionMS >> 16, versionMS & 0xFFFFu, versionLS >> 16,
                  versionLS & 0xFFFFu);
}

void ComposeAboutText(char* out, size_t room, const char* versionText) {
    // The notice: the rights holder, the maker's site, two lines on the authors, the reservation.
    std::snprintf(out, room, "Tallowin %s\n(C) 2026 Varnok Solutions\n%s\nWritten by\nthe Tallowin developers\n"
                  "All rights reserved.", versionText, WEB_SITE);
}
