// The status service's text (its code page, Latin-1) as UTF-8 for terminals, files and Prometheus, and back.
#include "query/text.h"

#include <cstdio>

void AppendUtf8(std::string& out, unsigned char latin1) {
    if (latin1 < 0x80) {
        out += static_cast<char>(latin1);
        return;
    }
    out += static_cast<char>(0xC0 | (latin1 >> 6));
    out += static_cast<char>(0x80 | (latin1 & 0x3F));
}

std::string Latin1ToUtf8(const std::string& latin1) {
    std::string text;
    for (const char c : latin1) AppendUtf8(text, static_cast<unsigned char>(c));
    return text;
}

bool Utf8ToLatin1(const std::string& utf8, std::string& latin1) {
    std::string bytes;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            bytes += static_cast<char>(c);
            continue;
        }
        // Latin-1 beyond ASCII is U+0080 to U+00FF: lead byte C2 or C3, then one continuation byte.
        if ((c != 0xC2 && c != 0xC3) || i + 1 == utf8.size()) return false;
        const unsigned char next = static_cast<unsigned char>(utf8[++i]);
        if ((next & 0xC0) != 0x80) return false;
        bytes += static_cast<char>((c & 0x03) << 6 | (next & 0x3F));
    }
    latin1 = std::move(bytes);
    return true;
}

std::string InertText(const std::string& latin1) {
    std::string inert;
    for (const char c : latin1) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && (byte < 0x7F || byte > 0x9F)) {
            AppendUtf8(inert, byte);
            continue;
        }
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", byte);
        inert += escape;
    }
    return inert;
}
