// A settings store held in memory, for tests and for tools that keep no registry.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "settings/settings.h"

enum class StoredType { Dword, Text, TextList, Binary };

struct StoredValue {
    StoredType Type;
    std::vector<unsigned char> Data;
};
inline bool operator==(const StoredValue& a, const StoredValue& b) { return a.Type == b.Type && a.Data == b.Data; }

struct MemoryStore {
    bool OpenFails = false;
    int Opens = 0;
    int Closes = 0;
    std::map<std::string, StoredValue> Values;
};

SettingsStore MemoryStoreSeam(MemoryStore& store);
