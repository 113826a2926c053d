// Alerts for the watched servers: which changes of state are real, when they are told, and how.
//
// The rule, server by server:
// - A state (up with at least the server's minimum of players, fewer, DOWN, or not listed) counts
//   once two reports in a row have shown it, so one odd answer tells nothing. It is told only while
//   the latest report still shows it.
// - No server is named in more than two balloons in any ten minutes. A change beyond that waits;
//   when the server changed more than once meanwhile, its balloon says that it keeps going up and
//   down, and it is not named again until ten minutes later, when it is told where it settled.
// - So after ten quiet minutes the next two changes are told as soon as they count: two reports.
// - The user is told the state confirmed now whenever it differs from what was last told: after a
//   pause, a busy spell or a refused balloon, a change that reversed meanwhile is never shown, and
//   one that still stands is shown once.
// - A new minimum moves only the line between up and fewer; DOWN and not listed carry on. A server
//   newly watched starts from what its first report shows; one no longer watched is forgotten, with
//   whatever it had due.
#include "status/alerts.h"

#include <algorithm>
#include <cstdio>

#include "status/text.h"

namespace {
constexpr size_t BALLOON_NAME_ROOM = 63;  // longer names are cut in the balloon

// A name listed twice counts by its first entry, as everywhere else.
const ServerEntry* FindEntry(const std::vector<ServerEntry>& servers, const std::string& name) {
    for (const ServerEntry& entry : servers)
        if (entry.Name == name) return &entry;
    return nullptr;
}

ServerState StateOf(int32_t players, int32_t minimum) {
    if (players < 0) return ServerState::Down;
    return players >= minimum ? ServerState::Up : ServerState::Fewer;
}

bool OnCountLine(ServerState state) { return state == ServerState::Up || state == ServerState::Fewer; }

// What was up or fewer is looked at again against the new minimum, and what was told of it on
// that line becomes the baseline; DOWN and not listed, confirmed or on their way, are left alone.
void MoveMinimum(WatchedServer& s, int32_t minimum) {
    s.Minimum = minimum;
    if (OnCountLine(s.Confirmed)) {
        s.Confirmed = StateOf(s.Players, minimum);
        if (OnCountLine(s.Told)) s.Told = s.Confirmed;
    }
    if (OnCountLine(s.Seen)) s.Seen = StateOf(s.SeenPlayers, minimum);
}

// One record per watched name, the primary first. A new name starts without a baseline; a name
// that stays keeps its record, whatever else changed.
void SyncWatchList(AlertState& state, const Settings& settings) {
    std::vector<WatchedServer>& servers = state.Servers;
    servers.erase(std::remove_if(servers.begin(), servers.end(),
                                 [&](const WatchedServer& s) { return !IsWatched(settings, s.Name); }),
                  servers.end());
    auto add = [&](const std::string& name) {
        if (name.empty() || std::any_of(servers.begin(), servers.end(), [&](const WatchedServer& s) { return s.Name == name; }))
            return;
        WatchedServer& added = servers.emplace_back();
        added.Name = name;
        added.Minimum = MinimumFor(settings, name);
    };
    add(settings.PrimaryServer);
    for (const std::string& name : settings.WatchedServers) add(name);
    std::stable_partition(servers.begin(), servers.end(),
                          [&](const WatchedServer& s) { return s.Name == settings.PrimaryServer; });
    for (WatchedServer& s : servers) {
        const int32_t minimum = MinimumFor(settings, s.Name);
        if (minimum != s.Minimum) MoveMinimum(s, minimum);
    }
}

void Observe(WatchedServer& s, ServerState seen, int32_t players, uint32_t now) {
    if (s.Confirmed == ServerState::Unknown) {
        s.Told = s.Confirmed = s.Seen = seen;
        s.Players = s.SeenPlayers = players;
        s.Streak = 1;
        return;
    }
    if (seen != s.Seen) s.Streak = 0;
    if (s.Streak < 255) ++s.Streak;
    s.Seen = seen;
    if (seen != ServerState::Unlisted) s.SeenPlayers = players;
    if (seen == s.Confirmed) {
        s.Players = players;
    } else if (s.Streak >= ALERT_CONFIRM_REPORTS) {
        s.Confirmed = seen;
        s.Players = players;
        if (s.Changes < 2) ++s.Changes;
        s.ChangedAt[1] = s.ChangedAt[0];
        s.ChangedAt[0] = now;
    }
}

// Whether a balloon may name the server now: not a third time in ten minutes, and not within ten
// minutes of saying that it keeps changing.
bool BudgetAllows(const WatchedServer& s, uint32_t now) {
    if (s.ToldFlapping && s.Named > 0 && now - s.NamedAt[0] <= ALERT_BUDGET_MS) return false;
    return s.Named < 2 || now - s.NamedAt[1] > ALERT_BUDGET_MS;
}

// --- the texts ---------------------------------------------------------------------------------
enum class ChangeKind { Up, Fewer, Flapping, Down, Unlisted };  // the order the balloon tells them in

// A server that the budget held back and that changed twice within the budget's ten minutes keeps
// going up and down; one whose held change came long after another has merely changed.
ChangeKind KindOf(const WatchedServer& s, uint32_t now) {
    if (!s.ToldFlapping && s.HeldByBudget && s.Changes >= 2 && now - s.ChangedAt[1] <= ALERT_BUDGET_MS)
        return ChangeKind::Flapping;
    switch (s.Confirmed) {
    case ServerState::Up: return ChangeKind::Up;
    case ServerState::Fewer: return ChangeKind::Fewer;
    case ServerState::Down: return ChangeKind::Down;
    default: return ChangeKind::Unlisted;
    }
}

std::string Format(const char* format, const std::string& name, int a, int b = 0) {
    char text[NOTICE_TEXT_ROOM + SETTINGS_TEXT_SIZE];
    std::snprintf(text, sizeof text, format, name.c_str(), a, a == 1 ? "player" : "players", b);
    return text;
}

// The ending of a group of servers of one kind, for one of them or for several.
const char* GroupEnding(ChangeKind kind, bool several) {
    switch (kind) {
    case ChangeKind::Flapping: return several ? " keep going up and down" : " keeps going up and down";
    case ChangeKind::Down: return several ? " are DOWN" : " is DOWN";
    default: return several ? " are no longer listed" : " is no longer listed";
    }
}

// "Gamma is up: 40 players", "Beta has 2 players, fewer than 3", "Beta is DOWN".
std::string ChangePhrase(const std::string& name, ChangeKind kind, int32_t players, int32_t minimum) {
    switch (kind) {
    case ChangeKind::Up: return Format("%s is up: %d %s", name, players);
    case ChangeKind::Fewer: return Format("%s has %d %s, fewer than %d", name, players, minimum);
    default: return name + GroupEnding(kind, false);
    }
}

struct Change {
    ChangeKind Kind;
    size_t Server;
};

// "Beta", "Beta and Gamma", "Beta, Gamma and 3 more".
std::string JoinNames(const AlertState& state, const std::vector<Change>& changes, size_t from, size_t to,
                      size_t more) {
    std::vector<std::string> items;
    for (size_t i = from; i < to; ++i) items.push_back(Shortened(state.Servers[changes[i].Server].Name, BALLOON_NAME_ROOM));
    if (more > 0) items.push_back(std::to_string(more) + " more");
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
        text += items[i];
    }
    return text;
}

// The first `named` changes by name, the rest counted. Servers that are DOWN, unlisted or keep
// changing are told together, and a count of the rest joins them when they are all of the last
// group's kind.
std::string RenderNotice(const AlertState& state, const std::vector<Change>& changes, size_t named) {
    const size_t omitted = changes.size() - named;
    bool folded = false;
    std::string text;
    for (size_t i = 0; i < named;) {
        if (!text.empty()) text += "; ";
        const ChangeKind kind = changes[i].Kind;
        if (kind == ChangeKind::Up || kind == ChangeKind::Fewer) {
            const WatchedServer& s = state.Servers[changes[i].Server];
            text += ChangePhrase(Shortened(s.Name, BALLOON_NAME_ROOM), kind, s.Players, s.Minimum);
            ++i;
            continue;
        }
        size_t end = i;
        while (end < named && changes[end].Kind == kind) ++end;
        const bool foldHere = omitted > 0 && end == named && changes.back().Kind == kind;
        folded = folded || foldHere;
        const size_t more = foldHere ? omitted : 0;
        text += JoinNames(state, changes, i, end, more) + GroupEnding(kind, end - i + more > 1);
        i = end;
    }
    if (omitted > 0 && !folded) text += "; and " + std::to_string(omitted) + " more";
    return text;
}

void ComposeNotice(const AlertState& state, const std::vector<Change>& changes, AlertNotice& notice) {
    std::snprintf(notice.Title, sizeof notice.Title, "Tallowin");
    std::string text;
    for (size_t named = changes.size(); named > 0; --named) {
        text = RenderNotice(state, changes, named);
        if (text.size() < sizeof notice.Text) break;
    }
    std::snprintf(notice.Text, sizeof notice.Text, "%s", text.c_str());
}

void AddRecent(AlertState& state, const std::string& line) {
    state.Recent.insert(state.Recent.begin(), line);
    if (state.Recent.size() > RECENT_CHANGE_COUNT) state.Recent.resize(RECENT_CHANGE_COUNT);
}
}  // namespace

bool IsWatched(const Settings& settings, const std::string& name) {
    if (!settings.PrimaryServer.empty() && name == settings.PrimaryServer) return true;
    const std::vector<std::string>& list = settings.WatchedServers;
    return std::find(list.begin(), list.end(), name) != list.end();
}

bool ToggleWatched(Settings& settings, const std::string& name) {
    std::vector<std::string>& list = settings.WatchedServers;
    const auto at = std::find(list.begin(), list.end(), name);
    if (at != list.end()) {
        list.erase(at);
        return true;
    }
    if (name.empty() || name.size() > WATCHED_NAME_MAX || list.size() >= WATCHED_SERVERS_MAX) return false;
    list.push_back(name);
    return true;
}

void ObserveReport(AlertState& state, const Settings& settings, const std::vector<ServerEntry>& servers,
                   uint32_t now) {
    SyncWatchList(state, settings);
    for (WatchedServer& s : state.Servers) {
        const ServerEntry* entry = FindEntry(servers, s.Name);
        if (entry) Observe(s, StateOf(entry->Players, s.Minimum), entry->Players, now);
        else Observe(s, ServerState::Unlisted, -1, now);
    }
}

void NoteReportGap(AlertState& state) {
    for (WatchedServer& s : state.Servers) s.Streak = 0;
}

bool DueNotice(AlertState& state, const Settings& settings, uint32_t now, AlertNotice& notice) {
    state.Due.clear();
    notice.Changes.clear();
    SyncWatchList(state, settings);  // a server taken off the list since the last report is not told
    std::vector<Change> changes;
    for (size_t i = 0; i < state.Servers.size(); ++i) {
        WatchedServer& s = state.Servers[i];
        if (s.Confirmed == ServerState::Unknown) continue;
        if (s.Confirmed == s.Told && !s.ToldFlapping) {
            s.HeldByBudget = false;  // what was held came back to what was told
            continue;
        }
        if (!settings.NotifyChanges) {
            s.Told = s.Confirmed;
            s.ToldFlapping = false;
            s.Changes = 0;
            continue;
        }
        if (s.Seen != s.Confirmed) continue;  // no news that the latest report does not bear out
        if (!BudgetAllows(s, now)) {
            s.HeldByBudget = true;
            continue;
        }
        changes.push_back(Change{KindOf(s, now), i});
    }
    if (changes.empty() || AlertsPaused(state, now)) return false;
    std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.Kind < b.Kind; });
    for (const Change& change : changes) {
        const WatchedServer& s = state.Servers[change.Server];
        state.Due.push_back(change.Server);
        const int32_t players = OnCountLine(s.Confirmed) ? s.Players : -1;
        notice.Changes.push_back(
            AlertChange{s.Name, s.Confirmed, players, s.Minimum, ChangePhrase(s.Name, change.Kind, s.Players, s.Minimum)});
    }
    state.DueAt = now;
    ComposeNotice(state, changes, notice);
    return true;
}

void MarkNoticeShown(AlertState& state, const AlertNotice& notice, const char* clock) {
    // Each change is put on top, so the last of the notice goes first and the list reads in its order.
    for (size_t k = state.Due.size(); k-- > 0;) {
        WatchedServer& s = state.Servers[state.Due[k]];
        s.ToldFlapping = KindOf(s, state.DueAt) == ChangeKind::Flapping;
        s.Told = s.Confirmed;
        s.HeldByBudget = false;
        s.Changes = 0;
        s.NamedAt[1] = s.NamedAt[0];
        s.NamedAt[0] = state.DueAt;
        if (s.Named < 2) ++s.Named;
        if (k < notice.Changes.size()) AddRecent(state, std::string(clock) + " " + notice.Changes[k].Message);
    }
    state.Due.clear();
}

void NoteAlertProblem(AlertState& state, const char* clock, const std::string& problem) {
    AddRecent(state, std::string(clock) + " " + problem);
}

void PauseAlerts(AlertState& state, uint32_t now) {
    state.Paused = true;
    state.PausedUntil = now + ALERT_PAUSE_MS;
}

void ResumeAlerts(AlertState& state) { state.Paused = false; }

bool AlertsPaused(AlertState& state, uint32_t now) {
    if (state.Paused && static_cast<int32_t>(now - state.PausedUntil) >= 0) state.Paused = false;
    return state.Paused;
}
