// Settings defaults, load rules and the order in which the values are read and written.
//
// Stored values are untrusted: a number is taken only when the store delivers exactly four bytes
// (a shorter or longer value of any type leaves the field as it was), and a text only up to its
// first zero byte within the bytes delivered and never beyond 259 characters, so no value can
// overrun a field or leave it unterminated. The watch list keeps at most 64 names of 1 to 63
// characters, each once: anything else in the stored list is passed over. The servers' own minimums
// are records of a name's length (one byte), its bytes and the minimum (four bytes, little-endian),
// so that a name may hold any byte; a record with a name the watch list would not keep, a repeated
// name or a minimum out of range is passed over, and a cut-off record ends the list.
#include "settings/settings.h"

#include <algorithm>
#include <cstring>

const char* const SETTINGS_KEY = "Software\\Varnok Solutions\\Tallowin";

namespace {
bool ReadDword(const SettingsStore& store, const char* name, int32_t& field) {
    unsigned char data[4];
    uint32_t size = sizeof data;
    if (!store.Read(store.Context, name, data, &size) || size != sizeof data) return false;
    std::memcpy(&field, data, sizeof data);
    return true;
}

void ReadText(const SettingsStore& store, const char* name, std::string& field) {
    unsigned char data[SETTINGS_TEXT_SIZE];
    uint32_t size = sizeof data;
    if (!store.Read(store.Context, name, data, &size)) return;
    if (size > sizeof data) size = sizeof data;
    const void* zero = std::memchr(data, 0, size);
    size_t length = zero ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - data) : size;
    // A value of 260 bytes without a zero byte still yields at most the 259 characters a text holds.
    if (length > SETTINGS_TEXT_SIZE - 1) length = SETTINGS_TEXT_SIZE - 1;
    field.assign(reinterpret_cast<const char*>(data), length);
}

void ReadTextList(const SettingsStore& store, const char* name, std::vector<std::string>& list) {
    // Room for a full list with some passed-over entries; a larger value fails and reads as empty.
    std::vector<unsigned char> data(16384);
    uint32_t size = static_cast<uint32_t>(data.size());
    if (!store.Read(store.Context, name, data.data(), &size)) return;
    if (size > data.size()) size = static_cast<uint32_t>(data.size());
    size_t start = 0;
    while (start < size && list.size() < WATCHED_SERVERS_MAX) {
        const void* zero = std::memchr(data.data() + start, 0, size - start);
        const size_t end = zero ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - data.data()) : size;
        std::string text(reinterpret_cast<const char*>(data.data()) + start, end - start);
        const bool repeated = std::find(list.begin(), list.end(), text) != list.end();
        if (!text.empty() && text.size() <= WATCHED_NAME_MAX && !repeated) list.push_back(std::move(text));
        start = end + 1;
    }
}

void ReadServerMinimums(const SettingsStore& store, Settings& settings) {
    // Room for a full list with as many records passed over; a larger value fails and reads as empty.
    std::vector<unsigned char> data(WATCHED_SERVERS_MAX * 2 * (1 + WATCHED_NAME_MAX + 4));
    uint32_t size = static_cast<uint32_t>(data.size());
    if (!store.Read(store.Context, "ServerMinimums", data.data(), &size)) return;
    if (size > data.size()) size = static_cast<uint32_t>(data.size());
    for (size_t at = 0; at < size;) {
        const size_t length = data[at];
        if (at + 1 + length + 4 > size) break;
        const std::string name(reinterpret_cast<const char*>(data.data()) + at + 1, length);
        at += 1 + length;
        const uint32_t minimum = static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
                                 static_cast<uint32_t>(data[at + 2]) << 16 | static_cast<uint32_t>(data[at + 3]) << 24;
        at += 4;
        const std::vector<ServerMinimum>& kept = settings.ServerMinimums;
        const bool repeated = std::any_of(kept.begin(), kept.end(), [&](const ServerMinimum& own) { return own.Name == name; });
        if (!repeated && minimum <= SERVER_MINIMUM_MAX) SetServerMinimum(settings, name, static_cast<int32_t>(minimum));
    }
}

void ReplaceSentinel(int32_t& field, int32_t sentinel, int32_t replacement) {
    if (field == sentinel) field = replacement;
}
}  // namespace

void SetDefaultSettings(Settings& settings) {
    settings.X = 600;
    settings.Y = 10;
    settings.Width = 307;
    settings.Height = 674;
    settings.Maximized = 0;
    settings.PrimaryServer.clear();
    settings.EverquestExe.clear();
    settings.SortOrder = SORT_NONE;
    settings.RunOnStartup = false;
    settings.MinPlayers = 3;
    settings.NotifyChanges = true;
    settings.AlertSound = false;
    settings.WatchedServers.clear();
    settings.ServerMinimums.clear();
    settings.AlertCommand.clear();
    settings.AlertWebhook.clear();
    settings.TrayShowsCount = false;
}

int32_t MinimumFor(const Settings& settings, const std::string& name) {
    for (const ServerMinimum& own : settings.ServerMinimums)
        if (own.Name == name) return own.Players;
    return settings.MinPlayers;
}

bool SetServerMinimum(Settings& settings, const std::string& name, int32_t minimum) {
    std::vector<ServerMinimum>& list = settings.ServerMinimums;
    const auto at = std::find_if(list.begin(), list.end(), [&](const ServerMinimum& own) { return own.Name == name; });
    if (minimum == -1) {
        if (at != list.end()) list.erase(at);
        return true;
    }
    if (minimum < 0 || minimum > SERVER_MINIMUM_MAX || name.empty() || name.size() > WATCHED_NAME_MAX) return false;
    if (at != list.end()) {
        at->Players = minimum;
        return true;
    }
    if (list.size() >= WATCHED_SERVERS_MAX) return false;
    list.push_back(ServerMinimum{name, minimum});
    return true;
}

bool LoadSettings(Settings& settings, const SettingsStore& store) {
    SetDefaultSettings(settings);
    if (!store.Open(store.Context)) return true;

    ReadDword(store, "X", settings.X);
    ReplaceSentinel(settings.X, -32000, 600);
    ReadDword(store, "Y", settings.Y);
    ReplaceSentinel(settings.Y, -32000, 10);
    ReadDword(store, "Width", settings.Width);
    ReplaceSentinel(settings.Width, 160, 307);
    ReadDword(store, "Height", settings.Height);
    ReplaceSentinel(settings.Height, 24, 674);
    ReadDword(store, "Maximized", settings.Maximized);
    if (settings.Maximized < 0 || settings.Maximized > 1) settings.Maximized = 0;

    ReadText(store, "PrimaryServer", settings.PrimaryServer);
    ReadText(store, "EverquestExe", settings.EverquestExe);

    int32_t sortOrder = 0;
    ReadDword(store, "SortOrder", sortOrder);
    settings.SortOrder = (sortOrder == SORT_BY_NAME || sortOrder == SORT_BY_PLAYERS) ? sortOrder : SORT_NONE;

    int32_t runOnStartup = 0;
    ReadDword(store, "RunOnStartup", runOnStartup);
    settings.RunOnStartup = runOnStartup != 0;

    ReadDword(store, "MinPlayers", settings.MinPlayers);
    if (settings.MinPlayers < 0) settings.MinPlayers = 3;

    int32_t notifyChanges = 1;
    ReadDword(store, "NotifyChanges", notifyChanges);
    settings.NotifyChanges = notifyChanges != 0;

    int32_t alertSound = 0;
    ReadDword(store, "AlertSound", alertSound);
    settings.AlertSound = alertSound != 0;

    ReadTextList(store, "WatchedServers", settings.WatchedServers);
    ReadServerMinimums(store, settings);
    ReadText(store, "AlertCommand", settings.AlertCommand);
    ReadText(store, "AlertWebhook", settings.AlertWebhook);
    int32_t trayShowsCount = 0;
    ReadDword(store, "TrayShowsCount", trayShowsCount);
    settings.TrayShowsCount = trayShowsCount != 0;

    store.Close(store.Context);
    return false;
}

bool SaveSettings(const Settings& settings, const SettingsStore& store) {
    if (!store.Open(store.Context)) return true;
    auto dword = [&](const char* name, int32_t value) {
        store.WriteDword(store.Context, name, static_cast<uint32_t>(value));
    };
    auto text = [&](const char* name, const std::string& value) {
        store.WriteText(store.Context, name, value.c_str(), static_cast<uint32_t>(value.size() + 1));
    };
    dword("X", settings.X);
    dword("Y", settings.Y);
    dword("Width", settings.Width);
    dword("Height", settings.Height);
    dword("Maximized", settings.Maximized);
    text("PrimaryServer", settings.PrimaryServer);
    text("EverquestExe", settings.EverquestExe);
    dword("SortOrder", settings.SortOrder);
    dword("RunOnStartup", settings.RunOnStartup ? 1 : 0);
    dword("MinPlayers", settings.MinPlayers);
    dword("NotifyChanges", settings.NotifyChanges ? 1 : 0);
    dword("AlertSound", settings.AlertSound ? 1 : 0);
    std::string list;
    for (const std::string& name : settings.WatchedServers) list.append(name).push_back('\0');
    list.push_back('\0');
    store.WriteTextList(store.Context, "WatchedServers", list.data(), static_cast<uint32_t>(list.size()));
    std::vector<unsigned char> minimums;
    for (const ServerMinimum& own : settings.ServerMinimums) {
        minimums.push_back(static_cast<unsigned char>(own.Name.size()));
        minimums.insert(minimums.end(), own.Name.begin(), own.Name.end());
        for (int shift = 0; shift < 32; shift += 8) minimums.push_back(static_cast<unsigned char>(own.Players >> shift));
    }
    store.WriteBytes(store.Context, "ServerMinimums", minimums.data(), static_cast<uint32_t>(minimums.size()));
    text("AlertCommand", settings.AlertCommand);
    text("AlertWebhook", settings.AlertWebhook);
    dword("TrayShowsCount", settings.TrayShowsCount ? 1 : 0);
    store.Close(store.Context);
    return false;
}
