// Tests of the registry settings store under Wine: first run, sentinels, wrong types, long and empty texts.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "settings/registry_store_win.h"

namespace {
const char* const TEST_KEY = "Software\\Varnok Solutions\\TallowinRegistryTest";

struct TestKey : testing::Test {
    RegistryStore store{HKEY_CURRENT_USER, TEST_KEY, nullptr};
    void SetUp() override { RegDeleteKeyA(HKEY_CURRENT_USER, TEST_KEY); }
    void TearDown() override { RegDeleteKeyA(HKEY_CURRENT_USER, TEST_KEY); }

    void Put(const char* name, DWORD type, const void* data, DWORD size) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, TEST_KEY, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
        RegCloseKey(key);
    }
    void PutDword(const char* name, int32_t value) { Put(name, REG_DWORD, &value, 4); }
    Settings Load() {
        Settings s;
        LoadSettings(s, RegistryStoreSeam(store));
        return s;
    }
    bool Query(const char* name, DWORD& type, std::string& data) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, TEST_KEY, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        char buffer[512];
        DWORD size = sizeof buffer;
        const bool ok = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
        RegCloseKey(key);
        data.assign(buffer, ok ? size : 0);
        return ok;
    }
};
}  // namespace

TEST(RegistryKey, IsTheUsersTallowinKey) {
    const RegistryStore key = UserSettingsKey();
    EXPECT_EQ(key.Root, HKEY_CURRENT_USER);
    EXPECT_STREQ(key.Path, "Software\\Varnok Solutions\\Tallowin");
}

TEST_F(TestKey, FirstRunLeavesDefaultsAndAnEmptyKey) {
    const Settings s = Load();
    EXPECT_EQ(s.X, 600);
    EXPECT_EQ(s.Height, 674);
    EXPECT_EQ(s.MinPlayers, 3);
    HKEY key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, TEST_KEY, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD values = 99;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(values, 0u);
}

TEST_F(TestKey, SentinelsAndRangesApplyPerValue) {
    PutDword("X", -32000);
    PutDword("Y", 300);
    PutDword("Width", 160);
    PutDword("Maximized", 2);
    PutDword("SortOrder", 7);
    PutDword("RunOnStartup", 5);
    PutDword("MinPlayers", -4);
    const Settings s = Load();
    EXPECT_EQ(s.X, 600);
    EXPECT_EQ(s.Y, 300);
    EXPECT_EQ(s.Width, 307);
    EXPECT_EQ(s.Maximized, 0);
    EXPECT_EQ(s.SortOrder, 0);
    EXPECT_TRUE(s.RunOnStartup);
    EXPECT_EQ(s.MinPlayers, 3);
}

TEST_F(TestKey, WrongTypesAndSizesNeverOverrunAField) {
    const char text[] = "a text where a number belongs";
    Put("X", REG_SZ, text, sizeof text);
    const unsigned long long wide = 0x1122334455667788ull;
    Put("Y", REG_QWORD, &wide, sizeof wide);
    const unsigned char two[2] = {1, 2};
    Put("Width", REG_BINARY, two, sizeof two);
    const int32_t number = 0x00434241;
    Put("PrimaryServer", REG_DWORD, &number, 4);
    const char unterminated[3] = {'a', 'b', 'c'};
    Put("EverquestExe", REG_BINARY, unterminated, sizeof unterminated);
    const Settings s = Load();
    EXPECT_EQ(s.X, 600);
    EXPECT_EQ(s.Y, 10);
    EXPECT_EQ(s.Width, 307);
    EXPECT_EQ(s.PrimaryServer, "ABC");
    EXPECT_EQ(s.EverquestExe, "abc");
}

TEST_F(TestKey, TextsOfThreeHundredCharactersLoadAsEmpty) {
    const std::string longText(300, 'q');
    Put("PrimaryServer", REG_SZ, longText.c_str(), static_cast<DWORD>(longText.size() + 1));
    const std::string fits(259, 'f');
    Put("EverquestExe", REG_SZ, fits.c_str(), static_cast<DWORD>(fits.size() + 1));
    const Settings s = Load();
    EXPECT_EQ(s.PrimaryServer, "");
    EXPECT_EQ(s.EverquestExe, fits);
}

TEST_F(TestKey, SaveWritesEveryValueAndEmptyTextsAsOneZeroByte) {
    Settings s;
    SetDefaultSettings(s);
    s.PrimaryServer = "Luclin";
    s.RunOnStartup = true;
    s.MinPlayers = -2;
    EXPECT_EQ(SaveSettings(s, RegistryStoreSeam(store)), StoreAccess::Opened);
    DWORD type = 0;
    std::string data;
    ASSERT_TRUE(Query("EverquestExe", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(data, std::string(1, '\0'));
    ASSERT_TRUE(Query("PrimaryServer", type, data));
    EXPECT_EQ(data, std::string("Luclin\0", 7));
    ASSERT_TRUE(Query("RunOnStartup", type, data));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, std::string("\x01\0\0\0", 4));
    for (const char* name : {"X", "Y", "Width", "Height", "Maximized", "SortOrder", "MinPlayers"}) {
        ASSERT_TRUE(Query(name, type, data)) << name;
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD)) << name;
    }
    const Settings again = Load();
    EXPECT_EQ(again.PrimaryServer, "Luclin");
    EXPECT_EQ(again.MinPlayers, 3);
}
