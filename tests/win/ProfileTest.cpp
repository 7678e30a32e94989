// The application profile in the registry: key path creation, typed reads with defaults, writes.
#include <gtest/gtest.h>

#include "framework/CRegKey.h"
#include "framework/CWinApp.h"

namespace {
class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app.SetRegistryKey("ProfileTest Company");
        RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\ProfileTest Company");
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\ProfileTest Company"); }
    CWinApp app{"probe"};
};
}

TEST_F(ProfileTest, MissingValuesGiveDefaultsAndTheKeyPathIsCreated)
{
    EXPECT_EQ(app.GetProfileInt("Settings", "Numer portu", 1), 1);
    EXPECT_EQ(app.GetProfileString("Settings", "Adres", "127.0.0.1"), "127.0.0.1");
    CRegKey key;
    EXPECT_EQ(key.Open(HKEY_CURRENT_USER, "Software\\ProfileTest Company\\probe\\Settings", KEY_READ), ERROR_SUCCESS);
}

TEST_F(ProfileTest, WrittenValuesComeBackWithTheirTypes)
{
    ASSERT_TRUE(app.WriteProfileInt("Settings", "Prędkość transmisji", 12345));
    ASSERT_TRUE(app.WriteProfileString("Settings", "Nazwa pliku logowania", "C:\\log ą.txt"));
    EXPECT_EQ(app.GetProfileInt("Settings", "Prędkość transmisji", 0), 12345);
    EXPECT_EQ(app.GetProfileString("Settings", "Nazwa pliku logowania", ""), "C:\\log ą.txt");

    CRegKey key;
    ASSERT_EQ(key.Open(HKEY_CURRENT_USER, app.ProfileKeyPath("Settings"), KEY_READ), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_TRUE(key.QueryInfo("Prędkość transmisji", type, size));
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(key.QueryString("Nazwa pliku logowania"), "C:\\log ą.txt");
}

TEST_F(ProfileTest, ValueOfAnotherTypeReadsAsItsDefault)
{
    ASSERT_TRUE(app.WriteProfileString("Settings", "Port", "5000"));
    EXPECT_EQ(app.GetProfileInt("Settings", "Port", 77), 77);
    ASSERT_TRUE(app.WriteProfileInt("Settings", "Adres", 5));
    EXPECT_EQ(app.GetProfileString("Settings", "Adres", "x"), "x");
}
