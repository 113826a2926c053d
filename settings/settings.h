// The user's settings, their defaults and load rules, over a small storage seam.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum SortOrderValue : int32_t { SORT_NONE = 0, SORT_BY_NAME = 1, SORT_BY_PLAYERS = 2 };

constexpr uint32_t SETTINGS_TEXT_SIZE = 260;  // 259 characters and the zero byte
constexpr size_t WATCHED_SERVERS_MAX = 64;    // names on the watch list
constexpr size_t WATCHED_NAME_MAX = 63;       // characters of a name on it
constexpr int32_t SERVER_MINIMUM_MAX = 65534;  // a server's own minimum: any count the service gives
extern const char* const SETTINGS_KEY;

// A watched server's own minimum of players, in place of MinPlayers.
struct ServerMinimum {
    std::string Name;
    int32_t Players;
};

struct Settings {
    int32_t X = 0;
    int32_t Y = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Maximized = 0;
    std::string PrimaryServer;
    std::string EverquestExe;
    int32_t SortOrder = SORT_NONE;
    bool RunOnStartup = false;
    int32_t MinPlayers = 0;
    bool NotifyChanges = true;  // a notice when a watched server comes up or goes down
    bool AlertSound = false;    // the notice plays the system's sound
    std::vector<std::string> WatchedServers;  // besides the primary server
    std::vector<ServerMinimum> ServerMinimums;  // at most WATCHED_SERVERS_MAX, each name once
    std::string AlertCommand;   // run for each server a balloon tells of
    std::string AlertWebhook;   // an http or https address, posted each balloon
    bool TrayShowsCount = false;  // the primary server's players drawn on the tray icon
};

// Where the settings persist: the registry on Windows, a map in tests. Read behaves like
// RegQueryValueExA: *size holds the room on the way in and the bytes delivered on the way out,
// and a value larger than the room fails.
struct SettingsStore {
    void* Context;
    bool (*Open)(void* context);
    bool (*Read)(void* context, const char* name, unsigned char* data, uint32_t* size);
    void (*WriteDword)(void* context, const char* name, uint32_t value);
    void (*WriteText)(void* context, const char* name, const char* text, uint32_t sizeWithZero);
    // A list of texts, each ended by a zero byte, the list by one more (REG_MULTI_SZ).
    void (*WriteTextList)(void* context, const char* name, const char* texts, uint32_t size);
    void (*WriteBytes)(void* context, const char* name, const unsigned char* bytes, uint32_t size);  // REG_BINARY
    void (*Close)(void* context);
};

void SetDefaultSettings(Settings& settings);
// The minimum of players a server is up with: its own, or MinPlayers.
int32_t MinimumFor(const Settings& settings, const std::string& name);
// Sets a server's own minimum, or with -1 goes back to MinPlayers for it; false when the list is
// full, the name too long to keep or the minimum out of range.
bool SetServerMinimum(Settings& settings, const std::string& name, int32_t minimum);
// Both return true when the store could not be opened, false otherwise.
bool LoadSettings(Settings& settings, const SettingsStore& store);
bool SaveSettings(const Settings& settings, const SettingsStore& store);
