// The settings store in the registry, under one key of a given hive.
#pragma once

#include <windows.h>

#include "settings/settings.h"

struct RegistryStore {
    HKEY Root;
    const char* Path;
    HKEY Key;
};

SettingsStore RegistryStoreSeam(RegistryStore& store);
// The current user's Tallowin key.
RegistryStore UserSettingsKey();
