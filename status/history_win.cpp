// The history's file: history.dat in the user's local application data, saved whole or not at all.
#include "status/history_win.h"

#include <shlobj.h>

#include <algorithm>
#include <vector>

namespace {
constexpr DWORD LARGEST_HISTORY_FILE = 16 * 1024 * 1024;  // 256 full servers take under 8 MB

std::string InFolder(const std::string& folder, const char* name) { return folder + "\\" + name; }

bool WriteWhole(const std::string& path, const std::vector<unsigned char>& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool done = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                      written == bytes.size() && FlushFileBuffers(file);
    CloseHandle(file);
    return done;
}

// The whole file, or false when it cannot be read; a file larger than any history is read as
// nothing at all, which the loader rejects.
bool ReadWhole(const std::string& path, std::vector<unsigned char>& bytes, bool& missing) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    missing = file == INVALID_HANDLE_VALUE &&
              (GetLastError() == ERROR_FILE_NOT_FOUND || GetLastError() == ERROR_PATH_NOT_FOUND);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD high = 0;
    const DWORD size = GetFileSize(file, &high);
    bool done = size != INVALID_FILE_SIZE && high == 0;
    if (done && size <= LARGEST_HISTORY_FILE) {
        bytes.resize(size);
        DWORD read = 0;
        done = size == 0 || (ReadFile(file, bytes.data(), size, &read, nullptr) && read == size);
    }
    CloseHandle(file);
    return done;
}
}  // namespace

std::string HistoryFolder() {
    char path[MAX_PATH] = "";
    const DWORD length = GetEnvironmentVariableA("LOCALAPPDATA", path, sizeof path);
    if (length == 0 || length >= sizeof path) {
        // Windows XP names the folder but sets no variable for it.
        if (FAILED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path))) return std::string();
    }
    return InFolder(path, "Tallowin");
}

uint32_t CurrentMinute() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    constexpr ULONGLONG EPOCH_1970 = 116444736000000000ULL;  // in 100 ns steps from 1601
    if (ticks.QuadPart < EPOCH_1970) return 0;
    return static_cast<uint32_t>((ticks.QuadPart - EPOCH_1970) / 600000000ULL);
}

namespace {
bool SaveWhole(const std::vector<ServerHistory>& servers, const std::string& folder, const char* name) {
    History part;
    part.Servers = servers;
    std::vector<unsigned char> bytes;
    SaveHistory(part, bytes);
    const std::string temporary = InFolder(folder, "history.tmp");
    if (!WriteWhole(temporary, bytes)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return MoveFileExA(temporary.c_str(), InFolder(folder, name).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

// The file's history as LoadHistory reads it, or its state when there is none.
HistoryFileState LoadFile(History& history, const std::string& path, uint32_t nowMinute) {
    std::vector<unsigned char> bytes;
    bool missing = false;
    if (!ReadWhole(path, bytes, missing)) return missing ? HistoryFileState::Missing : HistoryFileState::Unreadable;
    switch (LoadHistory(history, bytes.data(), bytes.size(), nowMinute)) {
    case HistoryLoad::Loaded: return HistoryFileState::Loaded;
    case HistoryLoad::Newer: return HistoryFileState::Newer;
    default: return HistoryFileState::Damaged;
    }
}
}  // namespace

bool SaveHistoryFile(const History& history, const std::string& folder) {
    if (folder.empty()) return false;
    CreateDirectoryA(folder.c_str(), nullptr);
    if (!SaveWhole(history.Servers, folder, "history.dat")) return false;
    if (!history.Aside.empty()) return SaveWhole(history.Aside, folder, "history.old");
    DeleteFileA(InFolder(folder, "history.old").c_str());  // a day of steady clock forgot it
    return true;
}

HistoryFileState LoadHistoryFile(History& history, const std::string& folder, uint32_t nowMinute) {
    history = History{};
    history.Clock = history.AsideSince = nowMinute;
    if (folder.empty()) return HistoryFileState::Missing;
    const std::string path = InFolder(folder, "history.dat");
    const HistoryFileState state = LoadFile(history, path, nowMinute);
    if (state == HistoryFileState::Damaged &&
        !MoveFileExA(path.c_str(), InFolder(folder, "history.bad").c_str(), MOVEFILE_REPLACE_EXISTING))
        return HistoryFileState::Unreadable;
    if (state == HistoryFileState::Unreadable || state == HistoryFileState::Newer) return state;
    // What an earlier run set aside comes back where it fits the clock, and only before what the
    // history holds, never as news it lacks: samples from hours a wrong clock ran ahead stay out.
    History old;
    if (LoadFile(old, InFolder(folder, "history.old"), nowMinute) == HistoryFileState::Loaded) {
        old.Aside.clear();
        uint32_t newest = 0;
        for (const ServerHistory& server : history.Servers) newest = std::max(newest, server.Newest);
        if (newest != 0) MoveHistoryClock(old, newest);
        old.Aside.clear();
        MergeHistory(history, old);
    }
    return state;
}

bool SaveHistoryAfterLoad(History& history, const std::string& folder, HistoryFileState& state) {
    // A file in use at start (a scanner, a backup, the query tool) is read now, and what it holds
    // joins what this run recorded.
    if (state == HistoryFileState::Unreadable) {
        History onDisk;
        const HistoryFileState now = LoadHistoryFile(onDisk, folder, history.Clock);
        if (now == HistoryFileState::Unreadable) return false;
        state = now;
        MergeHistory(history, onDisk);
    }
    return state != HistoryFileState::Newer && SaveHistoryFile(history, folder);
}
