// The news library's typed registry values under HKCU\Software\Morvek Sp. z o.o.\MorvekNews\Settings.
#include "NewsSettingsStore.h"

#include <ctime>
#include <vector>

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
    const std::string name = AfxLoadString(nameId);
    ::RegSetValueExA(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
}

// Type and size of a value; false when it is missing.
bool Describe(const CRegKey& key, const std::string& name, DWORD& type, DWORD& size)
{
    return ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}
}

bool NewsSettingsStore::ReadString(unsigned nameId, const char* subkey, std::string& value)
{
    CRegKey key;
    if (!OpenForReading(key, subkey))
        return false;
    const std::string name = AfxLoadString(nameId);
    DWORD type = 0, size = 0;
    if (!Describe(key, name, type, size))
        return false;
    std::vector<char> buffer(static_cast<size_t>(size) + 1, '\0');
    DWORD read = size;
    const bool ok = ::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type,
                                       reinterpret_cast<BYTE*>(buffer.data()), &read) == ERROR_SUCCESS;
    if (!ok)
        buffer.assign(1, '\0');
    value = std::string(buffer.data());
    return ok;
}

bool NewsSettingsStore::ReadInt(unsigned nameId, const char* subkey, int& value)
{
    CRegKey key;
    if (!OpenForReading(key, subkey))
        return false;
    const std::string name = AfxLoadString(nameId);
    DWORD type = 0, size = 0;
    if (!Describe(key, name, type, size) || type != REG_DWORD || size != sizeof(DWORD))
        return false;
    DWORD data = 0;
    DWORD read = sizeof data;
    if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &read) !=
        ERROR_SUCCESS)
        return false;
    value = static_cast<int>(data);
    return true;
}

bool NewsSettingsStore::ReadTime(unsigned nameId, const char* subkey, std::int64_t& value)
{
    CRegKey key;
    if (!OpenForReading(key, subkey))
        return false;
    const std::string name = AfxLoadString(nameId);
    DWORD type = 0, size = 0;
    if (!Describe(key, name, type, size) || type != REG_QWORD || size != sizeof(std::int64_t))
        return false;
    std::int64_t data = 0;
    DWORD read = sizeof data;
    if (::RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &read) !=
        ERROR_SUCCESS) {
        value = static_cast<std::int64_t>(std::time(nullptr));
        return false;
    }
    value = data;
    return true;
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
