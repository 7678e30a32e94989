// Helpers of the news library's Windows tests: a clean settings key and raw registry access.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "framework/CRegKey.h"
#include "news/NewsSettingsStore.h"

class NewsRegistryTest : public ::testing::Test {
protected:
    void SetUp() override { Clean(); }
    void TearDown() override { Clean(); }
    static void Clean() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Morvek Sp. z o.o.\\MorvekNews"); }

    static std::string Path(const char* subkey = nullptr)
    {
        std::string path = NewsSettingsStore::SETTINGS_KEY;
        return subkey ? path + "\\" + subkey : path;
    }
    static void SetRaw(const char* name, DWORD type, const void* data, DWORD size, const char* subkey = nullptr)
    {
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, Path(subkey), KEY_ALL_ACCESS), ERROR_SUCCESS);
        ASSERT_EQ(key.SetValue(name, type, data, size), ERROR_SUCCESS);
    }
    // Type of a value, 0 when missing; its bytes in `data`.
    static DWORD GetRaw(const char* name, std::string* data = nullptr, const char* subkey = nullptr)
    {
        CRegKey key;
        DWORD type = 0;
        if (key.Open(HKEY_CURRENT_USER, Path(subkey), KEY_READ) != ERROR_SUCCESS)
            return 0;
        const auto bytes = key.QueryBytes(name, type);
        if (!bytes)
            return 0;
        if (data)
            *data = *bytes;
        return type;
    }
    static int GetInt(const char* name, const char* subkey = nullptr)
    {
        std::string bytes;
        EXPECT_EQ(GetRaw(name, &bytes, subkey), static_cast<DWORD>(REG_DWORD)) << name;
        int value = 0;
        memcpy(&value, bytes.data(), std::min<size_t>(bytes.size(), 4));
        return value;
    }
};
