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
    for (const char* name : {"\\history.dat", "\\history.bad", "\\history.tmp", "\\history.old"}) {
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

    // A file in use is neither read nor set aside nor saved over; once free, the run's samples join it.
    HANDLE held = CreateFileA(dat.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HistoryFileState state = LoadHistoryFile(loaded, folder, now);
    EXPECT_EQ(state, HistoryFileState::Unreadable);
    AddReport(loaded, now + 1, {{"Gamma", 40, 5}});
    EXPECT_FALSE(SaveHistoryAfterLoad(loaded, folder, state));
    CloseHandle(held);
    EXPECT_EQ(Read(dat), good);
    ASSERT_TRUE(SaveHistoryAfterLoad(loaded, folder, state));
    ASSERT_EQ(LoadHistoryFile(loaded, folder, now + 1), HistoryFileState::Loaded);
    EXPECT_EQ(SampleAt(*FindServerHistory(loaded, "Gamma"), now + 1).Players, 40);
    EXPECT_EQ(SampleAt(*FindServerHistory(loaded, "Beta"), now).Players, 80);
    Write(dat, good);

    // What a clock set wrong put aside is kept in history.old through restarts under it, and comes back
    // once the clock is right.
    MoveHistoryClock(history, now + 2 * HISTORY_MINUTES, 2 * HISTORY_MINUTES);
    ASSERT_TRUE(SaveHistoryFile(history, folder));
    ASSERT_EQ(LoadHistoryFile(loaded, folder, now + 2 * HISTORY_MINUTES), HistoryFileState::Loaded);
    EXPECT_TRUE(FindServerHistory(loaded, "Beta") == nullptr && SaveHistoryFile(loaded, folder));
    ASSERT_EQ(LoadHistoryFile(loaded, folder, now), HistoryFileState::Loaded);
    EXPECT_EQ(SampleAt(*FindServerHistory(loaded, "Vox"), now - 1).Players, HISTORY_DOWN);
    Write(dat, good);

    // A later version's file is left exactly as it is.
    std::string newer = good;
    newer[4] = 2;
    Write(dat, newer);
    state = LoadHistoryFile(loaded, folder, now);
    EXPECT_EQ(state, HistoryFileState::Newer);
    EXPECT_FALSE(SaveHistoryAfterLoad(loaded, folder, state));
    EXPECT_EQ(Read(dat), newer);
    EXPECT_EQ(Read(bad), "(missing)");
    DeleteFileA((folder + "\\history.old").c_str());

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

// Samples of hours a wrong clock ran ahead, set aside once it was set right, do not come back at a
// later start as if recorded then: neither while set aside nor once a day of steady clock forgot them.
TEST(HistoryFile, WhatADayOfSteadyClockForgotStaysForgotten) {
    const std::string folder = ScratchFolder();
    const uint32_t now = CurrentMinute();
    History history, loaded;
    for (const auto& [minute, players] : {std::pair{now + 300, 999}, {now - 9, 40}, {now + 1440, 40}}) {
        if (players == 999 || minute < now) MoveHistoryClock(history, minute, players == 999 ? 300 : 0);  // set ahead, right, then a day
        AddReport(history, minute, {{"Beta", players, 5}});
        TrimHistory(history, minute);
        ASSERT_TRUE(SaveHistoryFile(history, folder));
        ASSERT_EQ(LoadHistoryFile(loaded, folder, now + 1450), HistoryFileState::Loaded);
        EXPECT_EQ(SampleAt(*FindServerHistory(loaded, "Beta"), now + 300).Players, players == 999 ? 999 : HISTORY_NONE);
    }
    Clear(folder);
}
