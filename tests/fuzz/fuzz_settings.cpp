// Fuzzes LoadSettings with stored values of any type and size.
#include <cstddef>
#include <cstdint>
#include <string>

#include "settings/memory_store.h"
#include "settings/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const names[] = {"X", "Y", "Width", "Height", "Maximized", "PrimaryServer",
                                        "EverquestExe", "SortOrder", "RunOnStartup", "MinPlayers"};
    MemoryStore store;
    // Records: a name index byte, a length byte (doubled, so texts reach past 260), then the bytes.
    size_t pos = 0;
    while (pos + 2 <= size) {
        const char* name = names[data[pos] % 10];
        size_t n = static_cast<size_t>(data[pos + 1]) * 2;
        pos += 2;
        if (n > size - pos) n = size - pos;
        store.Values[name] = StoredValue{StoredType::Binary, {data + pos, data + pos + n}};
        pos += n;
    }
    Settings s;
    LoadSettings(s, MemoryStoreSeam(store));
    if (s.PrimaryServer.size() >= SETTINGS_TEXT_SIZE || s.EverquestExe.size() >= SETTINGS_TEXT_SIZE) __builtin_trap();
    if (s.Maximized < 0 || s.Maximized > 1 || s.MinPlayers < 0 || s.SortOrder < 0 || s.SortOrder > 2) __builtin_trap();
    SaveSettings(s, MemoryStoreSeam(store));
    return 0;
}
