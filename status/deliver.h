// What an alert carries beyond the balloon: the alert command's environment and the webhook's body.
#pragma once

#include <string>

#include "status/alerts.h"

// "up", "fewer", "down" or "unlisted".
const char* StateWord(ServerState state);

// The alert command's environment block in UTF-16: the program's own (strings "NAME=value", each ended
// by a zero, the block by one more) passed whole, without any variable of the six names below, then
// TALLOWIN_SERVER, TALLOWIN_STATE, TALLOWIN_PLAYERS (empty without a count), TALLOWIN_MINIMUM,
// TALLOWIN_MESSAGE and TALLOWIN_TIME (timeText), sorted by name as Windows keeps its own. A server's
// name reaches the command only here, as a value, never on its command line, and only as its
// CommandWord, so the values are ASCII and widen exactly from any code page.
std::u16string AlertEnvironment(const char16_t* parentBlock, const AlertChange& change, const std::string& timeText);

// A server's name as the alert command sees it: one word that cmd cannot take apart. ASCII letters,
// digits and - . ' ` _ stay; every other byte (cmd's " % ! ^ & | < > ( ), the space and the other
// separators, control bytes, anything beyond ASCII) becomes _.
std::string CommandWord(const std::string& name);
// The balloon's line for the command: the name at its start as its CommandWord, the program's own
// words after it keeping their spaces, colons and commas.
std::string CommandMessage(const AlertChange& change);

// The webhook's JSON body for a balloon's text, given as UTF-8. A Discord webhook shows "content"
// (markdown and mentions made inert, no one pinged) and a Slack-style incoming webhook "text" (its
// markup characters escaped); each ignores the other's fields.
std::string WebhookBody(const std::string& utf8Text);

// Whether a text is an http or https address with a host, as the webhook takes.
bool IsWebhookAddress(const std::string& address);

// The line among the recent changes for a post that failed: its HTTP status (a redirect says where
// to, by the scheme and host of its location, or of the webhook's own address for a relative one),
// else the connection's error (WinHTTP's) in words. Nothing of an address's path or query, which
// carries the webhook's secret, ever shows.
std::string WebhookFailure(unsigned long status, unsigned long error, const std::string& location,
                           const std::string& address);
