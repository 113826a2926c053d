// Fuzzes LoadSettings with stored values of any type and size under every name the settings use.
#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/memory_store.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MemoryStore store;
    // Records: a name index byte, a length byte (times 16, so texts reach past their limits), then the bytes.
    size_t pos = 0;
    while (pos + 2 <= size) {
        const char* name = SETTINGS_TABLE[data[pos] % SETTINGS_COUNT].Name;
        size_t n = static_cast<size_t>(data[pos + 1]) * 16;
        pos += 2;
        if (n > size - pos) n = size - pos;
        store.Values[name] = StoredValue{StoredType::Binary, {data + pos, data + pos + n}};
        pos += n;
    }
    Settings s;
    LoadSettings(s, MemoryStoreSeam(store));
    for (size_t i = 0; i < SETTINGS_COUNT; ++i) {
        const SettingRule& rule = SETTINGS_TABLE[i];
        if (rule.Kind == SettingKind::Text && (s.*rule.Text).size() > rule.MaxLength) __builtin_trap();
        if (rule.Kind == SettingKind::Number && (s.*rule.Number < rule.Min || s.*rule.Number > rule.Max)) __builtin_trap();
    }
    SaveSettings(s, MemoryStoreSeam(store));
    return 0;
}
