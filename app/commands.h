// What the menu commands decide without the Windows API: which commands exist, the game's
// working directory and the maker's addresses.
#pragma once

#include <cstdint>
#include <string>

// Whether a WM_COMMAND wParam, compared whole, is one of the menu commands.
bool IsMenuCommand(uintptr_t wParam);

// The directory the game starts in: the part of its path before the last backslash. Empty when
// the path has no backslash or only a leading one; the caller then lets the new process inherit
// the current directory.
std::string LaunchDirectory(const std::string& exePath);

// A text as a menu shows it: an ampersand doubled, so that it is not taken for an access key.
std::string MenuText(const std::string& text);

// The maker's web site, the program's page on it and a new e-mail to the maker, from the build's settings.
extern const char* const WEB_SITE;
extern const char* const WEBPAGE_URL;
extern const char* const MAILTO_URL;
