// What an alert carries beyond the balloon: the alert command's environment and the webhook's body.
//
// Server names come from the network. In the environment a name is only ever a value, and only as
// one plain word: cmd expands %VAR% (and %VAR:~1,5%) before it parses a line, and parses again what
// `call` or `for /f` hands on of a !VAR!, so any of its special characters in a value would run as
// the script's own, quoted or not; a space would let a name such as "defined PATH evil" take over a
// plain `if %TALLOWIN_SERVER%==Beta`. The word is
// made whatever the command is: the environment is inherited, so a batch file that an .exe, a
// script or a file association starts expands it just the same.
//
// In the webhook's JSON every quote, backslash and control character is escaped; in the Discord
// field markdown and mention characters are escaped too, and "allowed_mentions" pings no one; in the
// Slack field &, < and > become entities, so that no name can post a link, a mention or a broadcast.
#include "status/deliver.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
// What a CommandWord keeps besides ASCII letters and digits; the program's own words after the name in
// a CommandMessage keep their spaces, colons and commas too.
const char* const WORD_MARKS = "-.'`_";
const char* const MESSAGE_MARKS = " :,-.'`_";
const char* const ALERT_VARIABLES[] = {"TALLOWIN_SERVER",  "TALLOWIN_STATE",   "TALLOWIN_PLAYERS",
                                       "TALLOWIN_MINIMUM", "TALLOWIN_MESSAGE", "TALLOWIN_TIME"};

// The name of an entry, its ASCII letters upper case; a name may start with '=' (the drives'
// current folders).
std::u16string UpperName(const std::u16string& entry) {
    std::u16string name = entry.substr(0, entry.find(u'=', 1));
    for (char16_t& c : name)
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
    return name;
}

std::u16string Widened(const std::string& ascii) {
    std::u16string wide;
    for (const char c : ascii) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
    return wide;
}

// An ASCII letter or digit, or one of the marks given.
bool IsPlain(char c, const char* marks) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c != '\0' && std::strchr(marks, c) != nullptr);
}

// Where the host of an http or https address starts, or 0.
size_t HostStart(const std::string& address) {
    std::string lower = address.substr(0, 8);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.rfind("http://", 0) == 0 ? 7 : lower.rfind("https://", 0) == 0 ? 8 : 0;
}

// "https://host:port" of an http or https address, without its user and password; empty for
// anything else.
std::string Origin(const std::string& address) {
    const size_t start = HostStart(address);
    if (start == 0) return std::string();
    std::string authority = address.substr(start, address.find_first_of("/?#\\", start) - start);
    authority.erase(0, authority.rfind('@') + 1);  // npos + 1 is 0
    authority.erase(std::find_if(authority.begin(), authority.end(), [](char c) { return !IsPlain(c, ".-:[]"); }),
                    authority.end());
    if (authority.empty() || authority.size() > 80) return std::string();
    std::string scheme = address.substr(0, start);
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme + authority;
}

// WinHTTP's errors that a user can act on, in words.
const char* ErrorWords(unsigned long error) {
    switch (error) {
    case 126: return "WinHTTP is missing";  // the library could not be loaded
    case 12002: return "timed out";
    case 12005:
    case 12006: return "bad address";
    case 12007: return "cannot find the server";
    case 12029: return "cannot connect";
    case 12030: return "connection lost";
    case 12152: return "bad answer";
    case 12037:
    case 12038:
    case 12045:
    case 12057:
    case 12169:
    case 12170:
    case 12175:
    case 12179: return "no secure connection";
    default: return nullptr;
    }
}

std::string JsonString(const std::string& text) {
    std::string json = "\"";
    for (const char c : text) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (byte < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            json += escape;
        } else {
            json += c;
        }
    }
    return json + '"';
}

std::string DiscordText(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        if (std::strchr("\\*_~`|>#[]()<@:-", c) != nullptr) shown += '\\';
        shown += c;
    }
    return shown;
}

std::string SlackText(const std::string& text) {
    std::string shown;
    for (const char c : text) {
        if (c == '&') shown += "&amp;";
        else if (c == '<') shown += "&lt;";
        else if (c == '>') shown += "&gt;";
        else shown += c;
    }
    return shown;
}
}  // namespace

const char* StateWord(ServerState state) {
    switch (state) {
    case ServerState::Up: return "up";
    case ServerState::Fewer: return "fewer";
    case ServerState::Down: return "down";
    default: return "unlisted";
    }
}

std::string CommandWord(const std::string& name) {
    std::string word = name;
    for (char& c : word)
        if (!IsPlain(c, WORD_MARKS)) c = '_';
    return word;
}

std::string CommandMessage(const AlertChange& change) {
    const std::string& message = change.Message;
    if (message.compare(0, change.Server.size(), change.Server) != 0) return CommandWord(message);
    std::string rest = message.substr(change.Server.size());
    for (char& c : rest)
        if (!IsPlain(c, MESSAGE_MARKS)) c = '_';
    return CommandWord(change.Server) + rest;
}

std::u16string AlertEnvironment(const char16_t* parentBlock, const AlertChange& change, const std::string& timeText) {
    auto isOwn = [](const std::u16string& name) {
        return std::any_of(std::begin(ALERT_VARIABLES), std::end(ALERT_VARIABLES),
                           [&](const char* own) { return name == Widened(own); });
    };
    std::vector<std::u16string> entries;
    for (const char16_t* at = parentBlock; at && *at;) {
        std::u16string entry(at);
        at += entry.size() + 1;
        if (!isOwn(UpperName(entry))) entries.push_back(std::move(entry));
    }
    const std::string values[] = {CommandWord(change.Server), StateWord(change.State),
                                  change.Players < 0 ? std::string() : std::to_string(change.Players),
                                  std::to_string(change.Minimum), CommandMessage(change), timeText};
    for (size_t i = 0; i < 6; ++i) entries.push_back(Widened(std::string(ALERT_VARIABLES[i]) + '=' + values[i]));
    std::stable_sort(entries.begin(), entries.end(),
                     [](const std::u16string& a, const std::u16string& b) { return UpperName(a) < UpperName(b); });
    std::u16string block;
    for (const std::u16string& entry : entries) block.append(entry).push_back(u'\0');
    block.push_back(u'\0');
    return block;
}

std::string WebhookBody(const std::string& utf8Text) {
    return "{\"content\":" + JsonString(DiscordText(utf8Text)) + ",\"text\":" + JsonString(SlackText(utf8Text)) +
           ",\"username\":\"Tallowin\",\"allowed_mentions\":{\"parse\":[]}}";
}

bool IsWebhookAddress(const std::string& address) {
    const size_t host = HostStart(address);
    if (host == 0 || host >= address.size() || address[host] == '/') return false;
    return std::none_of(address.begin(), address.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}

std::string WebhookFailure(unsigned long status, unsigned long error, const std::string& location,
                           const std::string& address) {
    std::string line = "Webhook failed: ";
    if (status == 0) {
        const char* words = ErrorWords(error);
        return line + (words ? words : "error " + std::to_string(error));
    }
    line += std::to_string(status);
    if (status < 300 || status >= 400) return line;
    // A location may leave out the scheme ("//host/path") or the host too ("/path").
    const std::string scheme = address.substr(0, address.find(':') + 1);
    const std::string origin = location.rfind("//", 0) == 0 ? Origin(scheme + location)
                               : location.rfind('/', 0) == 0 ? Origin(address)
                                                               : Origin(location);
    return origin.empty() ? line : line + ", use the address it points to on " + origin;
}
