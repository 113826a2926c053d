// The order the report shows servers in: the service's, by name, or by players online.
#include "status/order.h"

#include <cstring>

#include "settings/settings.h"

namespace {
// More lines than the decoder can give (127), so the line starts fit on the stack.
constexpr size_t MOST_LINES = 256;

unsigned char Folded(unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c - 'A' + 'a') : c; }

// Below zero when a sorts before b: bytes compared as unsigned, ASCII letters as lower case.
int CompareNames(const std::string& a, const std::string& b) {
    const size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        const unsigned char x = Folded(static_cast<unsigned char>(a[i]));
        const unsigned char y = Folded(static_cast<unsigned char>(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
}

bool ShownBefore(const ServerEntry& a, const ServerEntry& b, int32_t sortOrder) {
    if (sortOrder == SORT_BY_PLAYERS && a.Players != b.Players) return a.Players > b.Players;  // DOWN is -1
    return CompareNames(a.Name, b.Name) < 0;
}
}  // namespace

void ServerDisplayOrder(const std::vector<ServerEntry>& servers, int32_t sortOrder, std::vector<size_t>& order) {
    order.resize(servers.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (sortOrder != SORT_BY_NAME && sortOrder != SORT_BY_PLAYERS) return;
    // Insertion sort: stable, allocates nothing, and quick for the service's 127 servers at most.
    for (size_t i = 1; i < order.size(); ++i) {
        const size_t moving = order[i];
        size_t j = i;
        for (; j > 0 && ShownBefore(servers[moving], servers[order[j - 1]], sortOrder); --j) order[j] = order[j - 1];
        order[j] = moving;
    }
}

bool ReorderReportLines(const char* reportText, const std::vector<ServerEntry>& servers,
                        const std::vector<size_t>& order, std::string& out) {
    out.assign(reportText);
    const size_t n = servers.size();
    if (n > MOST_LINES || order.size() != n) return false;
    // lineStart[i] is where server i's line begins; lineStart[n] is where the total line begins.
    size_t lineStart[MOST_LINES + 1];
    bool placed[MOST_LINES] = {};
    const char* headerEnd = std::strchr(reportText, '\n');
    if (headerEnd == nullptr) return false;
    size_t at = static_cast<size_t>(headerEnd - reportText) + 1;
    for (size_t i = 0; i < n; ++i) {
        const std::string& name = servers[i].Name;
        if (order[i] >= n || placed[order[i]] || out.size() <= at + name.size() || out[at + name.size()] != '\t') return false;
        placed[order[i]] = true;
        for (size_t k = 0; k < name.size(); ++k)
            if (out[at + k] != ShownNameByte(static_cast<unsigned char>(name[k]))) return false;
        lineStart[i] = at;
        const size_t lineEnd = out.find('\n', at + name.size());
        if (lineEnd == std::string::npos) return false;
        at = lineEnd + 1;
    }
    if (out.find('\n', at) != std::string::npos) return false;  // the total is one line
    lineStart[n] = at;
    out.resize(lineStart[0]);
    for (size_t i : order) out.append(reportText + lineStart[i], lineStart[i + 1] - lineStart[i]);
    out.append(reportText + lineStart[n]);
    return true;
}
