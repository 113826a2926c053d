// Tests under Wine of the history's file: saved whole in a scratch folder, read back, and damaged
// files set aside.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "status/history_win.h"

namespace {
std::string ScratchFolder() {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    return std::string(temp) + "tallowin-history-test";
}

std::string Read(const std::string& path) {
    std::string bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "(missing)";
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void Write(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

void Clear(const std::string& folder) {
    for (const char* name : {"\\history.dat", "\\history.bad", "\\history.tmp"}) {
        DeleteFileA((folder + name).c_str());
        RemoveDirectoryA((folder + name).c_str());
    }
    RemoveDirectoryA(folder.c_str());
}
}  // namespace

TEST(HistoryFile, SavedWholeReadBackAndDamageSetAside) {
    const std::string folder = ScratchFolder(), dat = folder + "\\history.dat", bad = folder + "\\history.bad";
    Clear(folder);
    History history, loaded;
    const uint32_t now = CurrentMinute();
    AddReport(history, now - 1, {{"Beta", 120, 5}, {"Vox", -1, 0}});
    AddReport(history, now, {{"Beta", 80, 5}});
    EXPECT_EQ(LoadHistoryFile(loaded, folder, now), HistoryFileState::Missing);
    EXPECT_EQ(Read(bad), "(missing)");

    ASSERT_TRUE(SaveHistoryFile(history, folder));  // the folder is made on the way
    EXPECT_EQ(Read(folder + "\\history.tmp"), "(missing)");
    ASSERT_EQ(LoadHistoryFile(loaded, folder, now), HistoryFileState::Loaded);
    ASSERT_NE(FindServerHistory(loaded, "Beta"), nullptr);
    EXPECT_EQ(SampleAt(*FindServerHistory(loaded, "Beta"), now).Players, 80);
    EXPECT_EQ(SampleAt(*FindServerHistory(loaded, "Vox"), now - 1).Players, HISTORY_DOWN);

    // A temporary that cannot be written leaves the last good file as it was.
    const std::string good = Read(dat);
    CreateDirectoryA((folder + "\\history.tmp").c_str(), nullptr);
    AddReport(history, now, {{"Beta", 999, 5}});
    EXPECT_FALSE(SaveHistoryFile(history, folder));
    EXPECT_EQ(Read(dat), good);
    RemoveDirectoryA((folder + "\\history.tmp").c_str());

    // A file in use is neither read nor set aside: it must be left for a later run.
    HANDLE held = CreateFileA(dat.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(LoadHistoryFile(loaded, folder, now), HistoryFileState::Unreadable);
    CloseHandle(held);
    EXPECT_EQ(Read(dat), good);

    std::string flipped = good;
    flipped[flipped.size() / 2] ^= 0x40;
    for (const std::string& damaged : {flipped, good.substr(0, good.size() - 1), std::string("PK\3\4 not ours"),
                                       std::string()}) {
        Write(dat, damaged);
        EXPECT_EQ(LoadHistoryFile(loaded, folder, now), HistoryFileState::Damaged) << damaged.size();
        EXPECT_TRUE(loaded.Servers.empty());
        EXPECT_EQ(Read(bad), damaged);  // an older one is replaced
        EXPECT_EQ(Read(dat), "(missing)");
    }
    Clear(folder);
}
