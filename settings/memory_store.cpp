// A settings store held in memory, behaving like a registry key for reads and writes.
#include "settings/memory_store.h"

#include <cstring>

namespace {
MemoryStore& Of(void* context) { return *static_cast<MemoryStore*>(context); }

bool Open(void* context) {
    MemoryStore& store = Of(context);
    if (store.OpenFails) return false;
    ++store.Opens;
    return true;
}

bool Read(void* context, const char* name, unsigned char* data, uint32_t* size) {
    const auto found = Of(context).Values.find(name);
    if (found == Of(context).Values.end()) return false;
    const std::vector<unsigned char>& bytes = found->second.Data;
    if (bytes.size() > *size) {
        *size = static_cast<uint32_t>(bytes.size());
        return false;
    }
    if (!bytes.empty()) std::memcpy(data, bytes.data(), bytes.size());
    *size = static_cast<uint32_t>(bytes.size());
    return true;
}

void WriteDword(void* context, const char* name, uint32_t value) {
    StoredValue stored{StoredType::Dword, std::vector<unsigned char>(4)};
    std::memcpy(stored.Data.data(), &value, 4);
    Of(context).Values[name] = stored;
}

void WriteText(void* context, const char* name, const char* text, uint32_t sizeWithZero) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    Of(context).Values[name] = StoredValue{StoredType::Text, {bytes, bytes + sizeWithZero}};
}

void WriteTextList(void* context, const char* name, const char* texts, uint32_t size) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(texts);
    Of(context).Values[name] = StoredValue{StoredType::TextList, {bytes, bytes + size}};
}

void WriteBytes(void* context, const char* name, const unsigned char* bytes, uint32_t size) {
    Of(context).Values[name] = StoredValue{StoredType::Binary, {bytes, bytes + size}};
}

void Close(void* context) { ++Of(context).Closes; }
}  // namespace

SettingsStore MemoryStoreSeam(MemoryStore& store) {
    return SettingsStore{&store, Open, Read, WriteDword, WriteText, WriteTextList, WriteBytes, Close};
}
