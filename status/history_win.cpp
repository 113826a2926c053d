// The history's file: history.dat in the user's local application data, saved whole or not at all.
#include "status/history_win.h"

#include <shlobj.h>

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
bool SaveWhole(const std::vector<unsigned char>& bytes, const std::string& folder, const char* name) {
    const std::string temporary = InFolder(folder, "history.tmp");
    if (!WriteWhole(temporary, bytes)) {
        DeleteFileA(temporary.c_str());
        return false;
    }
    return MoveFileExA(temporary.c_str(), InFolder(folder, name).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}
}  // namespace

bool SaveHistoryFile(const History& history, const std::string& folder) {
    if (folder.empty()) return false;
    CreateDirectoryA(folder.c_str(), nullptr);
    std::vector<unsigned char> bytes;
    SaveHistory(history, bytes);
    if (!SaveWhole(bytes, folder, "history.dat")) return false;
    bytes.clear();
    SaveAside(history, bytes);
    if (!bytes.empty()) return SaveWhole(bytes, folder, "history.old");
    DeleteFileA(InFolder(folder, "history.old").c_str());  // nothing is set aside, or a day of steady clock forgot it
    return true;
}

HistoryFileState LoadHistoryFile(History& history, const std::string& folder, uint32_t nowMinute) {
    history = History{};
    history.Clock = history.AsideSince = nowMinute;
    if (folder.empty()) return HistoryFileState::Missing;
    const std::string path = InFolder(folder, "history.dat");
    std::vector<unsigned char> bytes, aside;
    bool missing = false, asideMissing = false;
    if (!ReadWhole(path, bytes, missing) && !missing) return HistoryFileState::Unreadable;
    // What an earlier run set aside, whatever became of history.dat since: it holds its own state of the clock.
    const bool setAside = ReadWhole(InFolder(folder, "history.old"), aside, asideMissing);
    const HistoryLoad load = LoadHistory(history, bytes.data(), bytes.size(), nowMinute, setAside ? aside.data() : nullptr, aside.size());
    if (missing) return HistoryFileState::Missing;
    if (load == HistoryLoad::Newer) return HistoryFileState::Newer;
    if (load == HistoryLoad::Loaded) return HistoryFileState::Loaded;
    if (!MoveFileExA(path.c_str(), InFolder(folder, "history.bad").c_str(), MOVEFILE_REPLACE_EXISTING))
        return HistoryFileState::Unreadable;
    return HistoryFileState::Damaged;
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
