// What an alert carries beyond the balloon: the alert command's environment and the webhook's body.
//
// Server names come from the network. In the environment a name is only ever a value (a value may
// hold any byte but zero, and names hold none). In the webhook's JSON every quote, backslash and
// control character is escaped; in the Discord field markdown and mention characters are escaped
// too, and "allowed_mentions" pings no one; in the Slack field &, < and > become entities, so that
// no name can post a link, a mention or a broadcast.
#include "status/deliver.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
const char* const ALERT_VARIABLES[] = {"TALLOWIN_SERVER",  "TALLOWIN_STATE",   "TALLOWIN_PLAYERS",
                                       "TALLOWIN_MINIMUM", "TALLOWIN_MESSAGE", "TALLOWIN_TIME"};

// The name of an entry, upper case; a name may start with '=' (the drives' current folders).
std::string UpperName(const std::string& entry) {
    const size_t equals = entry.find('=', 1);
    std::string name = entry.substr(0, equals);
    for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return name;
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

std::string AlertEnvironment(const char* parentBlock, const AlertChange& change, const std::string& timeText) {
    std::vector<std::string> entries;
    for (const char* entry = parentBlock; entry && *entry; entry += std::strlen(entry) + 1) {
        const std::string name = UpperName(entry);
        if (std::none_of(std::begin(ALERT_VARIABLES), std::end(ALERT_VARIABLES), [&](const char* own) { return name == own; }))
            entries.emplace_back(entry);
    }
    const std::string values[] = {change.Server, StateWord(change.State),
                                  change.Players < 0 ? std::string() : std::to_string(change.Players),
                                  std::to_string(change.Minimum), change.Message, timeText};
    for (size_t i = 0; i < 6; ++i) entries.push_back(std::string(ALERT_VARIABLES[i]) + '=' + values[i]);
    std::stable_sort(entries.begin(), entries.end(),
                     [](const std::string& a, const std::string& b) { return UpperName(a) < UpperName(b); });
    std::string block;
    for (const std::string& entry : entries) block.append(entry).push_back('\0');
    block.push_back('\0');
    return block;
}

std::string WebhookBody(const std::string& utf8Text) {
    return "{\"content\":" + JsonString(DiscordText(utf8Text)) + ",\"text\":" + JsonString(SlackText(utf8Text)) +
           ",\"username\":\"Tallowin\",\"allowed_mentions\":{\"parse\":[]}}";
}

bool IsWebhookAddress(const std::string& address) {
    std::string lower = address.substr(0, 8);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const size_t host = lower.rfind("http://", 0) == 0 ? 7 : lower.rfind("https://", 0) == 0 ? 8 : 0;
    if (host == 0 || host >= address.size() || address[host] == '/') return false;
    return std::none_of(address.begin(), address.end(), [](char c) { return static_cast<unsigned char>(c) <= ' '; });
}
