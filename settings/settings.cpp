// Settings defaults, load rules and the order in which the values are read and written.
//
// Stored values are untrusted: a number is taken only when the store delivers exactly four bytes
// (a shorter or longer value of any type leaves the field as it was), and a text only up to its
// first zero byte within the bytes delivered and never beyond its length in the table, so no value
// can overrun a field or leave it unterminated. The watch list keeps at most 64 names of 1 to 63
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

// A value longer than the text and its zero byte fails to read and leaves the field empty: a text is
// kept whole or not at all, never cut.
void ReadText(const SettingsStore& store, const char* name, uint32_t maxLength, std::string& field) {
    std::vector<unsigned char> data(maxLength + 1);
    uint32_t size = static_cast<uint32_t>(data.size());
    if (!store.Read(store.Context, name, data.data(), &size)) return;
    if (size > data.size()) size = static_cast<uint32_t>(data.size());
    const void* zero = std::memchr(data.data(), 0, size);
    size_t length = zero ? static_cast<size_t>(static_cast<const unsigned char*>(zero) - data.data()) : size;
    // A full value without a zero byte still yields at most the characters a text holds.
    if (length > maxLength) length = maxLength;
    field.assign(reinterpret_cast<const char*>(data.data()), length);
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

void ReadServerMinimums(const SettingsStore& store, const char* name, Settings& settings) {
    // Room for a full list with as many records passed over; a larger value fails and reads as empty.
    std::vector<unsigned char> data(WATCHED_SERVERS_MAX * 2 * (1 + WATCHED_NAME_MAX + 4));
    uint32_t size = static_cast<uint32_t>(data.size());
    if (!store.Read(store.Context, name, data.data(), &size)) return;
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

constexpr SettingRule Number(const char* name, int32_t Settings::*field, int32_t value, int32_t min, int32_t max) {
    SettingRule rule{name, SettingKind::Number};
    rule.Number = field;
    rule.Default = value;
    rule.Min = min;
    rule.Max = max;
    return rule;
}
// A window's edge or size, where one value stands for a window that was minimised or collapsed.
constexpr SettingRule Placement(const char* name, int32_t Settings::*field, int32_t value, int32_t sentinel) {
    SettingRule rule = Number(name, field, value, INT32_MIN, INT32_MAX);
    rule.HasSentinel = true;
    rule.Sentinel = sentinel;
    return rule;
}
constexpr SettingRule Flag(const char* name, bool Settings::*field, bool value) {
    SettingRule rule{name, SettingKind::Flag};
    rule.Flag = field;
    rule.Default = value ? 1 : 0;
    return rule;
}
constexpr SettingRule Text(const char* name, std::string Settings::*field, uint32_t maxLength) {
    SettingRule rule{name, SettingKind::Text};
    rule.Text = field;
    rule.MaxLength = maxLength;
    return rule;
}
}  // namespace

// In the order the values are read and written.
constexpr SettingRule SETTINGS_TABLE[] = {
    Placement("X", &Settings::X, 600, -32000),
    Placement("Y", &Settings::Y, 10, -32000),
    Placement("Width", &Settings::Width, 307, 160),
    Placement("Height", &Settings::Height, 674, 24),
    Number("Maximized", &Settings::Maximized, 0, 0, 1),
    Text("PrimaryServer", &Settings::PrimaryServer, SETTINGS_TEXT_SIZE - 1),
    Text("EverquestExe", &Settings::EverquestExe, SETTINGS_TEXT_SIZE - 1),
    Number("SortOrder", &Settings::SortOrder, SORT_NONE, SORT_NONE, SORT_BY_PLAYERS),
    Flag("RunOnStartup", &Settings::RunOnStartup, false),
    Number("MinPlayers", &Settings::MinPlayers, 3, 0, INT32_MAX),
    Flag("NotifyChanges", &Settings::NotifyChanges, true),
    Flag("AlertSound", &Settings::AlertSound, false),
    SettingRule{"WatchedServers", SettingKind::TextList},
    SettingRule{"ServerMinimums", SettingKind::Minimums},
    Text("AlertCommand", &Settings::AlertCommand, ALERT_TEXT_MAX),
    Text("AlertWebhook", &Settings::AlertWebhook, ALERT_TEXT_MAX),
    Flag("TrayShowsCount", &Settings::TrayShowsCount, false),
    Text("StatusHost", &Settings::StatusHost, SETTINGS_TEXT_SIZE - 1),
};
const size_t SETTINGS_COUNT = sizeof SETTINGS_TABLE / sizeof SETTINGS_TABLE[0];

Settings::Settings() { SetDefaultSettings(*this); }

void SetDefaultSettings(Settings& settings) {
    for (const SettingRule& rule : SETTINGS_TABLE) {
        switch (rule.Kind) {
        case SettingKind::Number: settings.*rule.Number = rule.Default; break;
        case SettingKind::Flag: settings.*rule.Flag = rule.Default != 0; break;
        case SettingKind::Text: (settings.*rule.Text).clear(); break;
        case SettingKind::TextList: settings.WatchedServers.clear(); break;
        case SettingKind::Minimums: settings.ServerMinimums.clear(); break;
        }
    }
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

StoreAccess LoadSettings(Settings& settings, const SettingsStore& store) {
    SetDefaultSettings(settings);
    if (!store.Open(store.Context)) return StoreAccess::Unavailable;
    for (const SettingRule& rule : SETTINGS_TABLE) {
        int32_t number = rule.Default;
        switch (rule.Kind) {
        case SettingKind::Number:
            ReadDword(store, rule.Name, number);
            if (number < rule.Min || number > rule.Max || (rule.HasSentinel && number == rule.Sentinel))
                number = rule.Default;
            settings.*rule.Number = number;
            break;
        case SettingKind::Flag:
            ReadDword(store, rule.Name, number);
            settings.*rule.Flag = number != 0;
            break;
        case SettingKind::Text: ReadText(store, rule.Name, rule.MaxLength, settings.*rule.Text); break;
        case SettingKind::TextList: ReadTextList(store, rule.Name, settings.WatchedServers); break;
        case SettingKind::Minimums: ReadServerMinimums(store, rule.Name, settings); break;
        }
    }
    store.Close(store.Context);
    return StoreAccess::Opened;
}

StoreAccess SaveSettings(const Settings& settings, const SettingsStore& store) {
    if (!store.Open(store.Context)) return StoreAccess::Unavailable;
    for (const SettingRule& rule : SETTINGS_TABLE) {
        switch (rule.Kind) {
        case SettingKind::Number:
            store.WriteDword(store.Context, rule.Name, static_cast<uint32_t>(settings.*rule.Number));
            break;
        case SettingKind::Flag: store.WriteDword(store.Context, rule.Name, settings.*rule.Flag ? 1 : 0); break;
        case SettingKind::Text: {
            const std::string& text = settings.*rule.Text;
            store.WriteText(store.Context, rule.Name, text.c_str(), static_cast<uint32_t>(text.size() + 1));
            break;
        }
        case SettingKind::TextList: {
            std::string list;
            for (const std::string& name : settings.WatchedServers) list.append(name).push_back('\0');
            list.push_back('\0');
            store.WriteTextList(store.Context, rule.Name, list.data(), static_cast<uint32_t>(list.size()));
            break;
        }
        case SettingKind::Minimums: {
            std::vector<unsigned char> minimums;
            for (const ServerMinimum& own : settings.ServerMinimums) {
                minimums.push_back(static_cast<unsigned char>(own.Name.size()));
                minimums.insert(minimums.end(), own.Name.begin(), own.Name.end());
                for (int shift = 0; shift < 32; shift += 8) minimums.push_back(static_cast<unsigned char>(own.Players >> shift));
            }
            store.WriteBytes(store.Context, rule.Name, minimums.data(), static_cast<uint32_t>(minimums.size()));
            break;
        }
        }
    }
    store.Close(store.Context);
    return StoreAccess::Opened;
}
