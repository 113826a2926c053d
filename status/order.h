// The order the report shows servers in: the service's, by name, or by players online.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "status/decode.h"

// Indices into servers in the order they are shown for a stored SortOrder: SORT_NONE (or any value
// not known) keeps the service's order; SORT_BY_NAME sorts A to Z without regard to ASCII case;
// SORT_BY_PLAYERS puts the most players first and DOWN last, ties by name. Ties keep the service's
// order. Allocates only when `order` has too little room.
void ServerDisplayOrder(const std::vector<ServerEntry>& servers, int32_t sortOrder, std::vector<size_t>& order);

// The report text with its server lines in `order`. The decoder's text is a header line, one line per
// ServerList entry (its name, a tab, ...), in list order, then the total line. When the text does not
// have exactly that shape (a decoder message, a name holding a line feed or tab, a count that does not
// match, a total of more than one line), or `order` is not a rearrangement of the list, or the list has
// more than 256 entries (the decoder makes at most 127), `out` is the text unchanged and the result is
// false. `out` keeps its storage between calls.
bool ReorderReportLines(const char* reportText, const std::vector<ServerEntry>& servers,
                        const std::vector<size_t>& order, std::string& out);
