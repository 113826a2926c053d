// When to tell the user that the primary server came up or went down, and what to say.
#include "status/notify.h"

#include <cstdio>

void ResetChangeWatch(ChangeWatch& watch) { watch.Server.clear(); }

bool WatchPrimaryServer(ChangeWatch& watch, const Settings& settings, bool up, int32_t primaryPlayers,
                        uint32_t now, ChangeNotice& notice) {
    if (settings.PrimaryServer.empty()) {
        ResetChangeWatch(watch);
        return false;
    }
    const bool sameWatch = watch.Server == settings.PrimaryServer && watch.MinPlayers == settings.MinPlayers;
    if (!sameWatch || !settings.NotifyChanges) {
        if (!sameWatch) watch.Notified = false;
        watch.Server = settings.PrimaryServer;
        watch.MinPlayers = settings.MinPlayers;
        watch.Up = up;
        return false;
    }
    if (up == watch.Up) return false;
    if (watch.Notified && now - watch.LastNoticeTick < NOTIFY_QUIET_INTERVAL) return false;
    watch.Up = up;
    watch.Notified = true;
    watch.LastNoticeTick = now;
    ComposeNotice(notice, settings.PrimaryServer, up, primaryPlayers, settings.MinPlayers);
    return true;
}

void ComposeNotice(ChangeNotice& notice, const std::string& server, bool up, int32_t players, int32_t minPlayers) {
    std::snprintf(notice.Title, sizeof notice.Title, "Tallowin");
    const char* name = server.c_str();
    const int count = static_cast<int>(players);
    const char* noun = count == 1 ? "player" : "players";
    if (up) std::snprintf(notice.Text, sizeof notice.Text, "%s is up: %d %s", name, count, noun);
    else if (count < 0) std::snprintf(notice.Text, sizeof notice.Text, "%s is DOWN", name);
    else std::snprintf(notice.Text, sizeof notice.Text, "%s has %d %s, fewer than %d", name, count, noun,
                       static_cast<int>(minPlayers));
}
