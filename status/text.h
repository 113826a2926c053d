// Texts cut to fit a field without splitting a character of the system's code page.
#pragma once

#include <cstddef>
#include <string>

// The step from a character to the next: one byte by default; on Windows the code page's own
// (CharNextA), so that a double-byte character is never cut in half.
extern const char* (*NextCharacter)(const char* text);

// The bytes of the longest start of text that is at most `most` bytes long and ends between two
// characters.
size_t CharactersWithin(const std::string& text, size_t most);
// The text itself when it has at most `most` bytes; else as much of it as fits with "..." after it.
std::string Shortened(const std::string& text, size_t most);
