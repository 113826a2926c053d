// Alerts for the watched servers: which changes of state are real, when they are told, and how.
//
// The rule, server by server:
// - A state (up with at least the server's minimum of players, fewer, DOWN, or not listed) counts
//   once two reports in a row have shown it, so one odd answer tells nothing. It is told only while
//   the latest report still shows it.
// - Two ways tell changes, each by its own account under the same limits: the balloon, which waits
//   while the user is busy, and the alert command with the webhook, which go as soon as a change
//   counts. A pause holds both.
// - No way names a server in more than two notices in any ten minutes. A change beyond that waits;
//   when the server changed more than once meanwhile, the notice says that it keeps going up and
//   down. That is said once a spell: nothing more is told of the server until it has held one
//   state for ten minutes, then where it settled.
// - So after ten quiet minutes the next two changes are told as soon as they count: two reports.
// - A way tells the state confirmed now whenever it differs from what it last told: after a pause,
//   a busy spell or a refused balloon, a change that reversed meanwhile is never told, and one that
//   still stands is told once.
// - A new minimum moves only the line between up and fewer; DOWN and not listed carry on, and so
//   does a change still due. A server newly watched starts from what its first report shows; one
//   no longer watched is forgotten, with whatever it had due, but not the notices that named it.
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

// What was up or fewer is looked at again against the new minimum. A way with nothing due takes
// the state confirmed as its baseline; one with a change due keeps what it told, judged by the
// count it told, so that the change is told unless the new line makes it none.
void MoveMinimum(WatchedServer& s, int32_t minimum) {
    s.Minimum = minimum;
    bool due[ALERT_WAYS];
    for (size_t way = 0; way < ALERT_WAYS; ++way) due[way] = s.Ways[way].Told != s.Confirmed;
    if (OnCountLine(s.Confirmed)) s.Confirmed = StateOf(s.Players, minimum);
    if (OnCountLine(s.Seen)) s.Seen = StateOf(s.SeenPlayers, minimum);
    if (OnCountLine(s.Seen) && s.Seen == s.Confirmed) s.Players = s.SeenPlayers;  // the latest count
    for (size_t way = 0; way < ALERT_WAYS; ++way) {
        AlertAccount& told = s.Ways[way];
        if (!OnCountLine(told.Told)) continue;
        if (!due[way] && OnCountLine(s.Confirmed)) told.Told = s.Confirmed, told.ToldPlayers = s.Players;
        else told.Told = StateOf(told.ToldPlayers, minimum);
    }
}

// Notices and changes older than ten minutes no longer count: a clock that wrapped around (every
// 49.7 days) must not bring them back.
void AgeOut(WatchedServer& s, uint32_t now) {
    for (AlertAccount& told : s.Ways)
        while (told.Named > 0 && now - told.NamedAt[told.Named - 1] > ALERT_BUDGET_MS) --told.Named;
    while (s.RecentChanges > 0 && now - s.ChangedAt[s.RecentChanges - 1] > ALERT_BUDGET_MS) --s.RecentChanges;
    if (s.RecentChanges == 0)
        for (AlertAccount& told : s.Ways) told.HeldByBudget = false;  // the spell of changes is over
}

// One record per watched name, the primary first. A new name starts without a baseline; a name
// that stays keeps its record, whatever else changed. A name taken off and put back keeps the
// notices that named it in the last ten minutes.
void SyncWatchList(AlertState& state, const Settings& settings, uint32_t now) {
    std::vector<WatchedServer>& servers = state.Servers;
    std::vector<WatchedServer>& unwatched = state.Unwatched;
    for (WatchedServer& s : unwatched) AgeOut(s, now);
    unwatched.erase(std::remove_if(unwatched.begin(), unwatched.end(), [](const WatchedServer& s) {
                        return std::all_of(std::begin(s.Ways), std::end(s.Ways), [](const AlertAccount& a) { return a.Named == 0; });
                    }), unwatched.end());
    for (auto it = servers.begin(); it != servers.end();) {
        if (IsWatched(settings, it->Name)) {
            ++it;
            continue;
        }
        unwatched.push_back(std::move(*it));
        it = servers.erase(it);
    }
    auto add = [&](const std::string& name) {
        if (name.empty() || std::any_of(servers.begin(), servers.end(), [&](const WatchedServer& s) { return s.Name == name; }))
            return;
        WatchedServer& added = servers.emplace_back();
        added.Name = name;
        added.Minimum = MinimumFor(settings, name);
        const auto old = std::find_if(unwatched.begin(), unwatched.end(), [&](const WatchedServer& s) { return s.Name == name; });
        if (old == unwatched.end()) return;
        for (size_t way = 0; way < ALERT_WAYS; ++way) {
            added.Ways[way].Named = old->Ways[way].Named;
            std::copy(std::begin(old->Ways[way].NamedAt), std::end(old->Ways[way].NamedAt), added.Ways[way].NamedAt);
        }
        unwatched.erase(old);
    };
    add(settings.PrimaryServer);
    for (const std::string& name : settings.WatchedServers) add(name);
    std::stable_partition(servers.begin(), servers.end(),
                          [&](const WatchedServer& s) { return s.Name == settings.PrimaryServer; });
    for (WatchedServer& s : servers) {
        const int32_t minimum = MinimumFor(settings, s.Name);
        if (minimum != s.Minimum) MoveMinimum(s, minimum);
        AgeOut(s, now);
    }
}

void Observe(WatchedServer& s, ServerState seen, int32_t players, uint32_t now) {
    if (s.Confirmed == ServerState::Unknown) {
        s.Confirmed = s.Seen = seen;
        s.Players = s.SeenPlayers = players;
        s.Streak = 1;
        for (AlertAccount& told : s.Ways) told.Told = seen, told.ToldPlayers = players;
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
        if (s.RecentChanges < 2) ++s.RecentChanges;
        s.ChangedAt[1] = s.ChangedAt[0];
        s.ChangedAt[0] = now;
        for (AlertAccount& told : s.Ways)
            if (told.Changes < 2) ++told.Changes;
    }
}

// Whether a notice may name the server now: not a third time in ten minutes, and not within ten
// minutes of saying that it keeps changing.
bool BudgetAllows(const AlertAccount& told) { return told.Named < (told.ToldFlapping ? 1 : 2); }

// --- the texts ---------------------------------------------------------------------------------
enum class ChangeKind { Up, Fewer, Flapping, Down, Unlisted };  // the order the balloon tells them in

ChangeKind KindOf(ServerState state) {
    switch (state) {
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
    SyncWatchList(state, settings, now);
    for (WatchedServer& s : state.Servers) {
        const ServerEntry* entry = FindEntry(servers, s.Name);
        if (entry) Observe(s, StateOf(entry->Players, s.Minimum), entry->Players, now);
        else Observe(s, ServerState::Unlisted, -1, now);
    }
}

void NoteReportGap(AlertState& state, uint32_t now) {
    for (WatchedServer& s : state.Servers) {
        s.Streak = 0;
        AgeOut(s, now);
    }
}

namespace {
// The change one way has due for the server, if any. Once it said that the server keeps changing,
// it tells nothing more until the server has held one state for ten minutes: then where it settled.
// Else a state that differs from what it told, that the latest report bears out, and that the
// budget allows; told as changing too often when the budget held a change of this spell and the
// server changed twice since it was last named, both within ten minutes.
bool ChangeDue(const WatchedServer& s, AlertAccount& told, ChangeKind& kind) {
    if (s.Confirmed == ServerState::Unknown || s.Seen != s.Confirmed) return false;
    kind = KindOf(s.Confirmed);
    if (told.ToldFlapping) return s.RecentChanges == 0 && BudgetAllows(told);
    if (s.Confirmed == told.Told) return false;
    if (!BudgetAllows(told)) {
        told.HeldByBudget = true;
        return false;
    }
    if (told.HeldByBudget && told.Changes >= 2 && s.RecentChanges >= 2) kind = ChangeKind::Flapping;
    return true;
}
}  // namespace

bool DueNotice(AlertState& state, const Settings& settings, uint32_t now, AlertWay way, AlertNotice& notice) {
    notice.Way = way;
    notice.At = now;
    notice.Due.clear();
    notice.Changes.clear();
    SyncWatchList(state, settings, now);  // a server taken off the list since the last report is not told
    if (!settings.NotifyChanges) {
        for (WatchedServer& s : state.Servers)
            for (AlertAccount& told : s.Ways) {
                told.Told = s.Confirmed;
                told.ToldPlayers = s.Players;
                told.ToldFlapping = told.HeldByBudget = false;
                told.Changes = 0;
            }
        return false;
    }
    if (AlertsPaused(state, now)) return false;
    std::vector<Change> changes;
    for (size_t i = 0; i < state.Servers.size(); ++i) {
        ChangeKind kind;
        if (ChangeDue(state.Servers[i], state.Servers[i].Ways[static_cast<size_t>(way)], kind)) changes.push_back(Change{kind, i});
    }
    if (changes.empty()) return false;
    std::stable_sort(changes.begin(), changes.end(), [](const Change& a, const Change& b) { return a.Kind < b.Kind; });
    for (const Change& change : changes) {
        const WatchedServer& s = state.Servers[change.Server];
        notice.Due.push_back(DueServer{change.Server, change.Kind == ChangeKind::Flapping});
        const int32_t players = OnCountLine(s.Confirmed) ? s.Players : -1;
        notice.Changes.push_back(
            AlertChange{s.Name, s.Confirmed, players, s.Minimum, ChangePhrase(s.Name, change.Kind, s.Players, s.Minimum)});
    }
    ComposeNotice(state, changes, notice);
    return true;
}

void MarkNoticeTold(AlertState& state, const AlertNotice& notice, const char* clock) {
    // Each change is put on top, so the last of the notice goes first and the list reads in its order.
    for (size_t k = notice.Due.size(); k-- > 0;) {
        WatchedServer& s = state.Servers[notice.Due[k].Server];
        AlertAccount& told = s.Ways[static_cast<size_t>(notice.Way)];
        told.ToldFlapping = notice.Due[k].Flapping;
        told.Told = s.Confirmed;
        told.ToldPlayers = s.Players;
        told.HeldByBudget = false;
        told.Changes = 0;
        told.NamedAt[1] = told.NamedAt[0];
        told.NamedAt[0] = notice.At;
        if (told.Named < 2) ++told.Named;
        if (notice.Way == AlertWay::Balloon) AddRecent(state, std::string(clock) + " " + notice.Changes[k].Message);
    }
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
