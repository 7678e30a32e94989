// The news library's typed registry values under HKCU\Software\Morvek Sp. z o.o.\MorvekNews\Settings.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Every call loads the value name from the library's string table by its id, opens the key
// afresh with full access and closes it again. A subkey names a message's own key ("0", "1", ...).
class NewsSettingsStore {
public:
    static constexpr const char* SETTINGS_KEY = "Software\\Morvek Sp. z o.o.\\MorvekNews\\Settings";

    // Data of any type are taken as text up to the first zero byte.
    static bool ReadString(unsigned nameId, const char* subkey, std::string& value);
    // Only a REG_DWORD of exactly 4 bytes counts; anything else is missing, output untouched.
    static bool ReadInt(unsigned nameId, const char* subkey, int& value);
    // Only a REG_QWORD of exactly 8 bytes counts; one that cannot be read gives the current time.
    static bool ReadTime(unsigned nameId, const char* subkey, std::int64_t& value);

    // The numbers of the message subkeys present below `count`, ascending: a message that is not
    // there cannot be read, so a stored count larger than the list costs nothing.
    static std::vector<int> StoredMessages(int count);

    // Writes create the key path when it is missing; failures are silent.
    static void WriteString(unsigned nameId, const char* subkey, const std::string& value);
    static void WriteInt(unsigned nameId, const char* subkey, int value);
    static void WriteTime(unsigned nameId, const char* subkey, std::int64_t value);
};
