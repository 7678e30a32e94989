// The bridge's settings store in the registry: the key made at reading, wrong types, the 32-bit view.
#include <gtest/gtest.h>

#include "bridge/engine/SettingsStore.h"
#include "framework/CRegKey.h"

namespace {
constexpr const char* TEST_ROOT = "Software\\SettingsStoreTest";
constexpr const char* TEST_KEY = "Software\\SettingsStoreTest\\probe\\Settings";

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, TEST_ROOT); }
    void TearDown() override { ::RegDeleteTreeA(HKEY_CURRENT_USER, TEST_ROOT); }
    SettingsStore store{HKEY_CURRENT_USER, TEST_KEY};
};
}

TEST_F(SettingsStoreTest, ReadingCreatesTheKeyAndGivesTheDefaults)
{
    const BridgeSettings loaded = store.Load();
    EXPECT_EQ(loaded.baudRate, 56000);
    EXPECT_EQ(loaded.logFileName, "Kavrel.txt");
    CRegKey key;
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, TEST_KEY, KEY_READ), ERROR_SUCCESS);
}

TEST_F(SettingsStoreTest, OnlyMissingValuesAreWrittenAndWhatIsThereIsKeptAsItIs)
{
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, TEST_KEY, KEY_READ | KEY_WRITE), ERROR_SUCCESS);
    key.SetDWORD(BridgeSettings::NAME_CONFIG_PORT, 6002);
    key.SetString(BridgeSettings::NAME_LISTEN_PORT, "6000");  // unusable, yet an administrator's
    ASSERT_EQ(store.SaveMissing(BridgeSettings()), ERROR_SUCCESS);
    EXPECT_EQ(key.QueryString(BridgeSettings::NAME_LISTEN_PORT), "6000");
    const BridgeSettings loaded = store.Load();
    EXPECT_EQ(loaded.configPort, 6002);
    EXPECT_EQ(key.QueryDWORD(BridgeSettings::NAME_BAUD_RATE), 56000u);
    EXPECT_EQ(key.QueryString(BridgeSettings::NAME_LOG_FILE_NAME), "Kavrel.txt");
}

TEST_F(SettingsStoreTest, ValueOfAnotherTypeOrSizeReadsAsItsDefault)
{
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, TEST_KEY, KEY_WRITE), ERROR_SUCCESS);
    key.SetString(BridgeSettings::NAME_LISTEN_PORT, "6000");
    key.SetDWORD(BridgeSettings::NAME_LOG_ADDRESS, 5);
    const std::int64_t wide = 9;
    key.SetValue(BridgeSettings::NAME_PARITY, REG_BINARY, &wide, sizeof wide);
    key.SetValue(BridgeSettings::NAME_LOG_FILE_NAME, REG_EXPAND_SZ, "x.txt", 6);
    key.SetDWORD(BridgeSettings::NAME_STOP_BITS, 2);

    const BridgeSettings loaded = store.Load();
    EXPECT_EQ(loaded.listenPort, 5000);
    EXPECT_EQ(loaded.logAddress, "127.0.0.1");
    EXPECT_EQ(loaded.parity, 0);
    EXPECT_EQ(loaded.logFileName, "Kavrel.txt");
    EXPECT_EQ(loaded.stopBits, 2);
}

// The view flag reaches the registry: under HKLM a 64-bit program's 32-bit view is Wow6432Node.
TEST(SettingsStoreView, The32BitViewOfTheMachineKeyIsTheRedirectedOne)
{
    const char* path = "SOFTWARE\\SettingsStoreTest\\Settings";
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\SettingsStoreTest");
    BridgeSettings settings;
    settings.listenPort = 6100;
    ASSERT_TRUE(SettingsStore(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY).Save(settings));

    CRegKey redirected;
    EXPECT_EQ(redirected.Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\SettingsStoreTest\\Settings", KEY_READ),
              ERROR_SUCCESS);
    EXPECT_EQ(SettingsStore(HKEY_LOCAL_MACHINE, path, KEY_WOW64_32KEY).Load().listenPort, 6100);
    redirected.Close();
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\SettingsStoreTest");
}
