// The news settings in the registry: defaults at first load, typed reads, saving, odd stored values.
#include <ctime>

#include "NewsTestSupport.h"
#include "news/CNewsManager.h"
#include "news/resource.h"

using NewsStoreTest = NewsRegistryTest;

TEST_F(NewsStoreTest, FirstLoadWritesFourDefaultsAndMarksTheFirstRun)
{
    CNewsManager manager;
    const auto before = static_cast<std::int64_t>(std::time(nullptr));
    manager.LoadSettings();
    EXPECT_EQ(manager.firstRun, 1);
    EXPECT_EQ(manager.GetHost(), CNewsManager::DefaultHost());

    std::string host, date;
    EXPECT_EQ(GetRaw("Adres IP serwera", &host), static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(host, std::string(CNewsManager::DefaultHost()) + '\0');
    EXPECT_EQ(GetInt("Port serwera"), 7000);
    ASSERT_EQ(GetRaw("Data ostatniej prezentacji", &date), static_cast<DWORD>(REG_QWORD));
    std::int64_t stored = 0;
    memcpy(&stored, date.data(), 8);
    EXPECT_GE(stored, before);
    EXPECT_EQ(GetRaw("Ilość wiadomości"), 0u);

    CNewsManager second;
    second.LoadSettings();
    EXPECT_EQ(second.firstRun, 0);
}

TEST_F(NewsStoreTest, SavedMessagesComeBackAndASecondLoadAddsNoDuplicates)
{
    {
        CNewsManager manager;
        manager.LoadSettings();
        manager.ApplyReply("3&2005.1.1&trzy\n4&1970.1.2&cztery\n5&&pięć\n", 1700000000);
        manager.SaveSettings();
    }
    // The values as stored are read end to end; here they come back.
    CNewsManager manager;
    manager.LoadSettings();
    manager.LoadSettings();
    ASSERT_EQ(manager.GetCount(), 3u);
    EXPECT_EQ(manager.GetAt(2).text, "pięć");
    EXPECT_EQ(manager.GetAt(2).date, 1700000000);
    EXPECT_EQ(manager.highestShown, 5);
}

TEST_F(NewsStoreTest, AMessageWithAMissingValueIsSkippedAndACorruptCountReadsWhatIsThere)
{
    // A count far above the messages stored: only the subkeys that are there are read.
    const int corrupt = 0x7FFFFFFF, zero = 0, one = 1, two = 2;
    const std::int64_t epoch = 0;
    SetRaw("Ilość wiadomości", REG_DWORD, &corrupt, 4);
    for (const char* subkey : {"0", "1", "2"}) {
        const int* number = subkey[0] == '0' ? &zero : subkey[0] == '1' ? &one : &two;
        SetRaw("Indeks wiadomości", REG_DWORD, number, 4, subkey);
        SetRaw("Data wiadomości", REG_QWORD, &epoch, 8, subkey);
        if (subkey[0] != '1')
            SetRaw("Wiadomość", REG_SZ, "tekst", 6, subkey);
    }
    CNewsManager manager;
    manager.LoadSettings();
    ASSERT_EQ(manager.GetCount(), 2u);
    EXPECT_EQ(manager.GetAt(0).number, 0);
    EXPECT_EQ(manager.GetAt(0).date, 0);  // 1970-01-01 00:00 UTC
    EXPECT_EQ(manager.GetAt(1).number, 2);
}

TEST_F(NewsStoreTest, ValuesOfTheWrongTypeOrSizeTakeTheirDefaults)
{
    SetRaw("Port serwera", REG_SZ, "5000", 5);
    const std::uint8_t longDword[8] = {1, 0, 0, 0, 9, 9, 9, 9};
    SetRaw("Niepokazuj wiadomości", REG_DWORD, longDword, sizeof longDword);
    const std::uint8_t longQword[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    SetRaw("Data ostatniej prezentacji", REG_QWORD, longQword, sizeof longQword);
    const std::uint8_t address[4] = {'a', 'b', 0, 'c'};
    SetRaw("Adres IP serwera", REG_DWORD, address, 4);

    CNewsManager manager;
    manager.LoadSettings();
    EXPECT_EQ(manager.GetHost(), "ab");  // any type reads as text up to its first zero byte
    EXPECT_EQ(manager.firstRun, 0);
    EXPECT_EQ(manager.GetPort(), 7000);
    EXPECT_EQ(GetInt("Port serwera"), 7000);  // written back over the text
    EXPECT_EQ(manager.GetDontShow(), 0);
    EXPECT_EQ(GetInt("Niepokazuj wiadomości"), 0);
    std::string date;
    EXPECT_EQ(GetRaw("Data ostatniej prezentacji", &date), static_cast<DWORD>(REG_QWORD));
    EXPECT_EQ(date.size(), 8u);
}

TEST_F(NewsStoreTest, TypedReadsLeaveTheOutputAloneWhenTheValueIsMissing)
{
    int number = 42;
    std::int64_t time = 43;
    std::string text = "kept";
    EXPECT_FALSE(NewsSettingsStore::ReadInt(IDS_SERVER_PORT, nullptr, number));
    EXPECT_FALSE(NewsSettingsStore::ReadTime(IDS_MESSAGE_DATE, "0", time));
    EXPECT_FALSE(NewsSettingsStore::ReadString(IDS_MESSAGE_TEXT, "0", text));
    EXPECT_EQ(number, 42);
    EXPECT_EQ(time, 43);
    EXPECT_EQ(text, "kept");
    NewsSettingsStore::WriteInt(IDS_SERVER_PORT, nullptr, -5);
    EXPECT_TRUE(NewsSettingsStore::ReadInt(IDS_SERVER_PORT, nullptr, number));
    EXPECT_EQ(number, -5);
}

TEST_F(NewsStoreTest, AKeyWithoutFullAccessReadsAsMissingEverywhere)
{
    {
        CRegKey key;
        ASSERT_EQ(key.Create(HKEY_CURRENT_USER, Path(), KEY_ALL_ACCESS), ERROR_SUCCESS);
        const int port = 5000;
        ASSERT_EQ(RegSetValueExA(key.Get(), "Port serwera", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), 4),
                  ERROR_SUCCESS);
        // Everyone may read, nobody may write: a protected DACL with one read-only entry.
        SECURITY_DESCRIPTOR descriptor;
        InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
        alignas(8) std::uint8_t aclBuffer[256];
        auto* acl = reinterpret_cast<ACL*>(aclBuffer);
        InitializeAcl(acl, sizeof aclBuffer, ACL_REVISION);
        SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
        PSID everyone = nullptr;
        AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
        AddAccessAllowedAce(acl, ACL_REVISION, KEY_READ, everyone);
        SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
        ASSERT_EQ(RegSetKeySecurity(key.Get(), DACL_SECURITY_INFORMATION, &descriptor), ERROR_SUCCESS);
        FreeSid(everyone);
    }
    CRegKey probe;
    if (probe.Open(HKEY_CURRENT_USER, Path(), KEY_ALL_ACCESS) == ERROR_SUCCESS)
        GTEST_SKIP() << "this registry grants full access regardless of the key's DACL";

    CNewsManager manager;
    manager.LoadSettings();
    EXPECT_EQ(manager.firstRun, 1);
    EXPECT_EQ(manager.GetPort(), 7000);  // the stored 5000 cannot be reached
    EXPECT_EQ(GetInt("Port serwera"), 5000);
}
