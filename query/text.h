// The status service's text (its code page, Latin-1) as UTF-8 for terminals, files and Prometheus, and back.
#pragma once

#include <string>

void AppendUtf8(std::string& out, unsigned char latin1);
std::string Latin1ToUtf8(const std::string& latin1);
// Text a user typed or a scenario holds (UTF-8) in the service's code page; false, with latin1 unchanged,
// when it is not UTF-8 or holds a character beyond Latin-1.
bool Utf8ToLatin1(const std::string& utf8, std::string& latin1);
// A name from the network for a terminal or a file: UTF-8, with every control byte (C0, DEL and C1) as
// \xNN, so that none can move the cursor, recolour the screen or break a line.
std::string InertText(const std::string& latin1);
