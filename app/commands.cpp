// What the menu commands decide without the Windows API.
#include "app/commands.h"

#include "res/resource.h"

#ifndef TALLOWIN_WEB_SITE
#define TALLOWIN_WEB_SITE "http://www.example.com"
#endif
#ifndef TALLOWIN_SUPPORT_EMAIL
#define TALLOWIN_SUPPORT_EMAIL "tallowin@example.com"
#endif

const char* const WEB_SITE = TALLOWIN_WEB_SITE;
const char* const WEBPAGE_URL = TALLOWIN_WEB_SITE "/software/tallowin.html";
const char* const MAILTO_URL = "mailto:" TALLOWIN_SUPPORT_EMAIL "?subject=Tallowin";

bool IsMenuCommand(uintptr_t wParam) { return wParam >= ID_SHOW && wParam <= ID_SERVER_MINIMUM; }

std::string LaunchDirectory(const std::string& exePath) {
    const size_t last = exePath.rfind('\\');
    if (last == std::string::npos || last == 0) return std::string();
    return exePath.substr(0, last);
}

std::string MenuText(const std::string& text) {
    std::string shown;
    for (char c : text) {
        if (c == '&') shown += '&';
        shown += c;
    }
    return shown;
}
