// Texts cut to fit a field without splitting a character of the system's code page.
#include "status/text.h"

namespace {
const char* NextByte(const char* text) { return *text ? text + 1 : text; }
}  // namespace

const char* (*NextCharacter)(const char* text) = NextByte;

size_t CharactersWithin(const std::string& text, size_t most) {
    if (text.size() <= most) return text.size();
    const char* start = text.c_str();
    size_t end = 0;
    while (end < text.size()) {
        size_t next = static_cast<size_t>(NextCharacter(start + end) - start);
        // A step that goes nowhere (a zero byte) or past the text counts as one byte.
        if (next <= end || next > text.size()) next = end + 1;
        if (next > most) break;
        end = next;
    }
    return end;
}

std::string Shortened(const std::string& text, size_t most) {
    if (text.size() <= most) return text;
    if (most < 3) return text.substr(0, CharactersWithin(text, most));
    return text.substr(0, CharactersWithin(text, most - 3)) + "...";
}
