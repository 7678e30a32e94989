// The bridge's settings store in the registry: missing values written, values of other types read as defaults.
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
