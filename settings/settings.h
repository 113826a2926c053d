// The user's settings, their defaults and load rules, over a small storage seam.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum SortOrderValue : int32_t { SORT_NONE = 0, SORT_BY_NAME = 1, SORT_BY_PLAYERS = 2 };

constexpr uint32_t SETTINGS_TEXT_SIZE = 260;  // 259 characters and the zero byte
constexpr uint32_t ALERT_TEXT_MAX = 2048;     // characters of the alert command and the webhook's address
constexpr size_t WATCHED_SERVERS_MAX = 64;    // names on the watch list
constexpr size_t WATCHED_NAME_MAX = 63;       // characters of a name on it
constexpr int32_t SERVER_MINIMUM_MAX = 65534;  // a server's own minimum: any count the service gives
extern const char* const SETTINGS_KEY;

// A watched server's own minimum of players, in place of MinPlayers.
struct ServerMinimum {
    std::string Name;
    int32_t Players;
};

// Each field is named after its registry value; SETTINGS_TABLE (settings.cpp) gives its default and
// load rule, and a new record starts with the defaults.
struct Settings {
    Settings();
    int32_t X, Y, Width, Height, Maximized;
    std::string PrimaryServer;
    std::string EverquestExe;
    int32_t SortOrder;
    bool RunOnStartup;
    int32_t MinPlayers;
    bool NotifyChanges;  // a notice when a watched server comes up or goes down
    bool AlertSound;     // the notice plays the system's sound
    std::vector<std::string> WatchedServers;    // besides the primary server
    std::vector<ServerMinimum> ServerMinimums;  // at most WATCHED_SERVERS_MAX, each name once
    std::string AlertCommand;  // run for each server a balloon tells of
    std::string AlertWebhook;  // an http or https address, posted each balloon
    bool TrayShowsCount;       // the primary server's players drawn on the tray icon
    std::string StatusHost;    // "host" or "host:port"; empty for the built-in host
};

// How a value is stored and loaded.
enum class SettingKind : uint8_t {
    Number,    // REG_DWORD; a value outside [Min, Max], or the Sentinel, loads as the default
    Flag,      // REG_DWORD 0 or 1; any value but 0 loads as set
    Text,      // REG_SZ; at most MaxLength characters, a longer value loads as empty
    TextList,  // REG_MULTI_SZ: the watch list
    Minimums,  // REG_BINARY: the servers' own minimums
};

// One setting, declared once: its registry value, its field, its default and its load rule.
struct SettingRule {
    const char* Name;
    SettingKind Kind;
    int32_t Settings::*Number = nullptr;
    bool Settings::*Flag = nullptr;
    std::string Settings::*Text = nullptr;
    int32_t Default = 0;  // a Number's value, a Flag's 0 or 1; texts and lists start empty
    int32_t Min = INT32_MIN, Max = INT32_MAX;
    bool HasSentinel = false;  // the value Windows gives a minimised or collapsed window
    int32_t Sentinel = 0;
    uint32_t MaxLength = 0;    // a Text's characters
};
extern const SettingRule SETTINGS_TABLE[];
extern const size_t SETTINGS_COUNT;

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
// Whether the store could be opened: a load that cannot open it leaves the defaults, a save writes nothing.
enum class StoreAccess { Opened, Unavailable };
StoreAccess LoadSettings(Settings& settings, const SettingsStore& store);
StoreAccess SaveSettings(const Settings& settings, const SettingsStore& store);
