// The settings store in the registry: RegCreateKeyExA, RegQueryValueExA, RegSetValueExA, RegCloseKey.
#include "settings/registry_store_win.h"

namespace {
RegistryStore& Of(void* context) { return *static_cast<RegistryStore*>(context); }

bool Open(void* context) {
    RegistryStore& store = Of(context);
    return RegCreateKeyExA(store.Root, store.Path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                           &store.Key, nullptr) == ERROR_SUCCESS;
}

bool Read(void* context, const char* name, unsigned char* data, uint32_t* size) {
    DWORD bytes = *size;
    const LONG result = RegQueryValueExA(Of(context).Key, name, nullptr, nullptr, data, &bytes);
    *size = bytes;
    return result == ERROR_SUCCESS;
}

void WriteDword(void* context, const char* name, uint32_t value) {
    const DWORD data = value;
    RegSetValueExA(Of(context).Key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

void WriteText(void* context, const char* name, const char* text, uint32_t sizeWithZero) {
    RegSetValueExA(Of(context).Key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeWithZero);
}

void WriteBytes(void* context, const char* name, const unsigned char* bytes, uint32_t size) {
    RegSetValueExA(Of(context).Key, name, 0, REG_BINARY, bytes, size);
}

void WriteTextList(void* context, const char* name, const char* texts, uint32_t size) {
    RegSetValueExA(Of(context).Key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(texts), size);
}

void Close(void* context) {
    RegCloseKey(Of(context).Key);
    Of(context).Key = nullptr;
}
}  // namespace

SettingsStore RegistryStoreSeam(RegistryStore& store) {
    return SettingsStore{&store, Open, Read, WriteDword, WriteText, WriteTextList, WriteBytes, Close};
}

RegistryStore UserSettingsKey() { return RegistryStore{HKEY_CURRENT_USER, SETTINGS_KEY, nullptr}; }
