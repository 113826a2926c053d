// What an alert carries beyond the balloon: the alert command's environment and the webhook's body.
#pragma once

#include <string>

#include "status/alerts.h"

// "up", "fewer", "down" or "unlisted".
const char* StateWord(ServerState state);

// The alert command's environment block: the program's own (strings "NAME=value", each ended by a zero
// byte, the block by one more) without any variable of the six names below, then TALLOWIN_SERVER,
// TALLOWIN_STATE, TALLOWIN_PLAYERS (empty without a count), TALLOWIN_MINIMUM, TALLOWIN_MESSAGE and
// TALLOWIN_TIME (timeText), sorted by name as Windows keeps its own. A server's name reaches the
// command only here, as a value, never on its command line.
std::string AlertEnvironment(const char* parentBlock, const AlertChange& change, const std::string& timeText);

// The webhook's JSON body for a balloon's text, given as UTF-8. A Discord webhook shows "content"
// (markdown and mentions made inert, no one pinged) and a Slack-style incoming webhook "text" (its
// markup characters escaped); each ignores the other's fields.
std::string WebhookBody(const std::string& utf8Text);

// Whether a text is an http or https address with a host, as the webhook takes.
bool IsWebhookAddress(const std::string& address);
