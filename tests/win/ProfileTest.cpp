// The application profile in the registry: a value of another type reads as the default.
#include <gtest/gtest.h>

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

TEST_F(ProfileTest, ValueOfAnotherTypeReadsAsItsDefault)
{
    ASSERT_TRUE(app.WriteProfileString("Settings", "Port", "5000"));
    EXPECT_EQ(app.GetProfileInt("Settings", "Port", 77), 77);
    ASSERT_TRUE(app.WriteProfileInt("Settings", "Adres", 5));
    EXPECT_EQ(app.GetProfileString("Settings", "Adres", "x"), "x");
}
