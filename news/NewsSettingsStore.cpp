// The news library's typed registry values under HKCU\Software\Morvek Sp. z o.o.\MorvekNews\Settings.
#include "NewsSettingsStore.h"

#include <algorithm>
#include <ctime>

#include "../framework/Afx.h"
#include "../framework/CRegKey.h"

namespace {
std::string KeyPath(const char* subkey)
{
    std::string path = NewsSettingsStore::SETTINGS_KEY;
    if (subkey)
        path += std::string("\\") + subkey;
    return path;
}

bool OpenForReading(CRegKey& key, const char* subkey)
{
    return key.Open(HKEY_CURRENT_USER, KeyPath(subkey), KEY_ALL_ACCESS) == ERROR_SUCCESS;
}

void WriteValue(unsigned nameId, const char* subkey, DWORD type, const void* data, DWORD size)
{
    CRegKey key;
    if (key.Open(HKEY_CURRENT_USER, KeyPath(subkey), KEY_ALL_ACCESS) != ERROR_SUCCESS &&
        key.Create(HKEY_CURRENT_USER, KeyPath(subkey), KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    key.SetValue(AfxLoadString(nameId).c_str(), type, data, size);
}
}

bool NewsSettingsStore::ReadString(unsigned nameId, const char* subkey, std::string& value)
{
    CRegKey key;
    if (!OpenForReading(key, subkey))
        return false;
    const std::string name = AfxLoadString(nameId);
    DWORD type = 0, size = 0;
    if (!key.QueryInfo(name.c_str(), type, size))
        return false;
    // A value that is there but cannot be read reads as the empty text.
    const auto text = key.QueryText(name.c_str());
    value = text.value_or(std::string());
    return text.has_value();
}

bool NewsSettingsStore::ReadInt(unsigned nameId, const char* subkey, int& value)
{
    CRegKey key;
    if (!OpenForReading(key, subkey))
        return false;
    const auto data = key.QueryDWORD(AfxLoadString(nameId).c_str());
    if (data)
        value = static_cast<int>(*data);
    return data.has_value();
}

bool NewsSettingsStore::ReadTime(unsigned nameId, const char* subkey, std::int64_t& value)
{
    CRegKey key;
    if (!OpenForReading(key, subkey))
        return false;
    const std::string name = AfxLoadString(nameId);
    DWORD type = 0, size = 0;
    if (!key.QueryInfo(name.c_str(), type, size) || type != REG_QWORD || size != sizeof(std::int64_t))
        return false;
    // A date that is there but cannot be read counts as now.
    const auto data = key.QueryQWORD(name.c_str());
    value = data ? *data : static_cast<std::int64_t>(std::time(nullptr));
    return data.has_value();
}

void NewsSettingsStore::WriteString(unsigned nameId, const char* subkey, const std::string& value)
{
    WriteValue(nameId, subkey, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void NewsSettingsStore::WriteInt(unsigned nameId, const char* subkey, int value)
{
    const DWORD data = static_cast<DWORD>(value);
    WriteValue(nameId, subkey, REG_DWORD, &data, sizeof data);
}

void NewsSettingsStore::WriteTime(unsigned nameId, const char* subkey, std::int64_t value)
{
    WriteValue(nameId, subkey, REG_QWORD, &value, sizeof value);
}

std::vector<int> NewsSettingsStore::StoredMessages(int count)
{
    std::vector<int> present;
    CRegKey key;
    if (!OpenForReading(key, nullptr))
        return present;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof name;
        const LONG result = ::RegEnumKeyExA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_MORE_DATA)
            continue;  // a name that long is no message number
        if (result != ERROR_SUCCESS)
            break;
        // Only the name a message is saved under, its number in plain decimal, is a message.
        const std::string text(name, length);
        if (text.empty() || text.size() > 10 || text.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const long long number = std::stoll(text);
        if (number < count && std::to_string(number) == text)
            present.push_back(static_cast<int>(number));
    }
    std::sort(present.begin(), present.end());
    return present;
}
