// Alerts for the watched servers: which changes of state are real, when they are told, and how.
//
// The rule, server by server:
// - A new state counts (is confirmed) once two reports in a row have shown it, so one odd answer
//   tells nothing. Going DOWN or out of the names answer, and coming back from either, count so.
// - Between too few players and enough of them, the count itself is the doubt: for ten minutes
//   after a confirmed change no such change counts, and up at exactly the minimum counts only after
//   five reports (one player more counts after two). A count hovering around the minimum therefore
//   tells at most one change in ten minutes, however it hovers.
// - The user is told what the confirmed state is now, whenever that differs from what was last
//   told: after a pause, a busy spell or a refused balloon, a change that reversed meanwhile is
//   never shown, and one that still stands is shown once.
#include "status/alerts.h"

#include <algorithm>
#include <cstdio>

namespace {
constexpr size_t BALLOON_NAME_ROOM = 63;  // longer names are cut in the balloon

bool SameName(const ServerEntry& entry, const std::string& name) { return entry.Name == name; }

// The entry of a name in the report, trying where it stood last time first.
const ServerEntry* FindEntry(const std::vector<ServerEntry>& servers, WatchedServer& watched) {
    if (watched.ListHint < servers.size() && SameName(servers[watched.ListHint], watched.Name))
        return &servers[watched.ListHint];
    for (size_t i = 0; i < servers.size(); ++i) {
        if (SameName(servers[i], watched.Name)) {
            watched.ListHint = i;
            return &servers[i];
        }
    }
    return nullptr;
}

// Keeps one record per watched name, the primary first; a new name, like a new minimum, starts
// without a baseline.
void SyncWatchList(AlertState& state, const Settings& settings) {
    if (state.MinPlayers != settings.MinPlayers) {
        state.MinPlayers = settings.MinPlayers;
        for (WatchedServer& s : state.Servers) s = WatchedServer{s.Name};
    }
    std::vector<WatchedServer>& servers = state.Servers;
    servers.erase(std::remove_if(servers.begin(), servers.end(),
                                 [&](const WatchedServer& s) { return !IsWatched(settings, s.Name); }),
                  servers.end());
    auto add = [&](const std::string& name) {
        if (name.empty()) return;
        for (const WatchedServer& s : servers)
            if (s.Name == name) return;
        servers.push_back(WatchedServer{name});
    };
    add(settings.PrimaryServer);
    for (const std::string& name : settings.WatchedServers) add(name);
}

// DOWN or no longer listed: the server is off, not merely short of players.
bool IsOff(ServerState state, int32_t players) {
    return state == ServerState::Unlisted || (state == ServerState::Down && players < 0);
}

bool Confirms(WatchedServer& s, int32_t players, int32_t minPlayers, uint32_t now) {
    if (s.Streak < ALERT_CONFIRM_REPORTS) return false;
    if (IsOff(s.Confirmed, s.Players) || IsOff(s.Seen, players)) return true;
    // Between too few players and enough of them: settled first, and up only clearly or lastingly.
    if (s.Settling && now - s.ConfirmedAt < ALERT_SETTLE_MS) return false;
    s.Settling = false;
    if (s.Seen == ServerState::Up && static_cast<int64_t>(players) < static_cast<int64_t>(minPlayers) + 1)
        return s.Streak >= ALERT_WEAK_UP_REPORTS;
    return true;
}

void Observe(WatchedServer& s, ServerState seen, int32_t players, int32_t minPlayers, uint32_t now) {
    if (s.Confirmed == ServerState::Unknown) {
        s.Told = s.Confirmed = s.Seen = seen;
        s.Players = players;
        s.Streak = 0;
        return;
    }
    if (seen == s.Confirmed) {
        s.Streak = 0;
    } else if (seen == s.Seen) {
        if (s.Streak < 255) ++s.Streak;
    } else {
        s.Streak = 1;
    }
    s.Seen = seen;
    if (seen == s.Confirmed) {
        if (seen != ServerState::Unlisted) s.Players = players;
    } else if (Confirms(s, players, minPlayers, now)) {
        s.Confirmed = seen;
        s.Players = players;
        s.ConfirmedAt = now;
        s.Settling = true;
        s.Streak = 0;
    }
}

// --- the texts ---------------------------------------------------------------------------------
enum class ChangeKind { Up, Fewer, Down, Unlisted };  // the order the balloon tells them in

ChangeKind KindOf(const WatchedServer& s) {
    if (s.Confirmed == ServerState::Up) return ChangeKind::Up;
    if (s.Confirmed == ServerState::Unlisted) return ChangeKind::Unlisted;
    return s.Players < 0 ? ChangeKind::Down : ChangeKind::Fewer;
}

std::string BalloonName(const std::string& name) {
    if (name.size() <= BALLOON_NAME_ROOM) return name;
    return name.substr(0, BALLOON_NAME_ROOM - 3) + "...";
}

std::string Format(const char* format, const std::string& name, int a, int b = 0) {
    char text[NOTICE_TEXT_ROOM + BALLOON_NAME_ROOM];
    std::snprintf(text, sizeof text, format, name.c_str(), a, a == 1 ? "player" : "players", b);
    return text;
}

// "Gamma is up: 40 players", "Beta has 2 players, fewer than 3", "Beta is DOWN".
std::string ChangePhrase(const std::string& name, ChangeKind kind, int32_t players, int32_t minPlayers) {
    switch (kind) {
    case ChangeKind::Up: return Format("%s is up: %d %s", name, players);
    case ChangeKind::Fewer: return Format("%s has %d %s, fewer than %d", name, players, minPlayers);
    case ChangeKind::Down: return name + " is DOWN";
    default: return name + " is no longer listed";
    }
}

struct Change {
    ChangeKind Kind;
    const WatchedServer* Server;
};

// "Beta", "Beta and Gamma", "Beta, Gamma and 3 more".
std::string JoinNames(const std::vector<Change>& changes, size_t from, size_t to, size_t more) {
    std::vector<std::string> items;
    for (size_t i = from; i < to; ++i) items.push_back(BalloonName(changes[i].Server->Name));
    if (more > 0) items.push_back(std::to_string(more) + " more");
    std::string text;
    for (size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
        text += items[i];
    }
    return text;
}

// The first `named` changes by name, the rest counted. Down and unlisted servers are told together,
// and a count of the rest joins them when they are all of the last group's kind.
std::string RenderNotice(const std::vector<Change>& changes, size_t named, int32_t minPlayers) {
    const size_t omitted = changes.size() - named;
    bool folded = false;
    std::string text;
    for (size_t i = 0; i < named;) {
        if (!text.empty()) text += "; ";
        const ChangeKind kind = changes[i].Kind;
        if (kind == ChangeKind::Up || kind == ChangeKind::Fewer) {
            const WatchedServer& s = *changes[i].Server;
            text += ChangePhrase(BalloonName(s.Name), kind, s.Players, minPlayers);
            ++i;
            continue;
        }
        size_t end = i;
        while (end < named && changes[end].Kind == kind) ++end;
        const bool foldHere = omitted > 0 && end == named && changes.back().Kind == kind;
        folded = folded || foldHere;
        const size_t more = foldHere ? omitted : 0;
        text += JoinNames(changes, i, end, more);
        text += end - i + more > 1 ? " are " : " is ";
        text += kind == ChangeKind::Down ? "DOWN" : "no longer listed";
        i = end;
    }
    if (omitted > 0 && !folded) text += "; and " + std::to_string(omitted) + " more";
    return text;
}

void ComposeNotice(const std::vector<Change>& changes, int32_t minPlayers, AlertNotice& notice) {
    std::snprintf(notice.Title, sizeof notice.Title, "Tallowin");
    std::string text;
    for (size_t named = changes.size(); named > 0; --named) {
        text = RenderNotice(changes, named, minPlayers);
        if (text.size() < sizeof notice.Text) break;
    }
    std::snprintf(notice.Text, sizeof notice.Text, "%s", text.c_str());
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
        const ServerEntry* entry = FindEntry(servers, s);
        if (!entry) {
            Observe(s, ServerState::Unlisted, s.Players, state.MinPlayers, now);
            continue;
        }
        const ServerState seen = entry->Players >= state.MinPlayers ? ServerState::Up : ServerState::Down;
        Observe(s, seen, entry->Players, state.MinPlayers, now);
    }
}

void NoteReportGap(AlertState& state) {
    for (WatchedServer& s : state.Servers) {
        s.Seen = s.Confirmed;
        s.Streak = 0;
    }
}

bool DueNotice(AlertState& state, const Settings& settings, uint32_t now, AlertNotice& notice) {
    state.Due.clear();
    std::vector<Change> changes;
    for (size_t i = 0; i < state.Servers.size(); ++i) {
        WatchedServer& s = state.Servers[i];
        if (s.Confirmed == s.Told || s.Confirmed == ServerState::Unknown) continue;
        if (!settings.NotifyChanges) {
            s.Told = s.Confirmed;
            continue;
        }
        state.Due.push_back(i);
        changes.push_back(Change{KindOf(s), &s});
    }
    if (changes.empty() || AlertsPaused(state, now)) return false;
    std::stable_sort(changes.begin(), changes.end(),
                     [](const Change& a, const Change& b) { return a.Kind < b.Kind; });
    ComposeNotice(changes, state.MinPlayers, notice);
    return true;
}

void MarkNoticeShown(AlertState& state, const char* clock) {
    // Each change is put on top, so the last of the notice goes first and the list reads in its order.
    for (auto at = state.Due.rbegin(); at != state.Due.rend(); ++at) {
        WatchedServer& s = state.Servers[*at];
        s.Told = s.Confirmed;
        state.Recent.insert(state.Recent.begin(),
                            std::string(clock) + " " + ChangePhrase(s.Name, KindOf(s), s.Players, state.MinPlayers));
    }
    if (state.Recent.size() > RECENT_CHANGE_COUNT) state.Recent.resize(RECENT_CHANGE_COUNT);
    state.Due.clear();
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
