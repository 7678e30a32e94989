// An open registry key with its typed reads and writes, closed when the object goes out of scope.
#include "CRegKey.h"

#include <vector>

LONG CRegKey::Open(HKEY parent, const std::string& path, REGSAM access)
{
    Close();
    return ::RegOpenKeyExA(parent, path.c_str(), 0, access, &key);
}

LONG CRegKey::Create(HKEY parent, const std::string& path, REGSAM access)
{
    Close();
    return ::RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                             nullptr);
}

void CRegKey::Close()
{
    if (key) {
        ::RegCloseKey(key);
        key = nullptr;
    }
}

bool CRegKey::QueryInfo(const char* name, DWORD& type, DWORD& size) const
{
    return key && ::RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

template <typename T>
std::optional<T> CRegKey::QueryFixed(const char* name, DWORD wantedType) const
{
    DWORD type = 0, size = 0;
    if (!QueryInfo(name, type, size) || type != wantedType || size != sizeof(T))
        return std::nullopt;
    T value{};
    if (::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::optional<DWORD> CRegKey::QueryDWORD(const char* name) const
{
    return QueryFixed<DWORD>(name, REG_DWORD);
}

std::optional<std::int64_t> CRegKey::QueryQWORD(const char* name) const
{
    return QueryFixed<std::int64_t>(name, REG_QWORD);
}

std::optional<std::string> CRegKey::QueryBytes(const char* name, DWORD& type) const
{
    DWORD size = 0;
    if (!QueryInfo(name, type, size))
        return std::nullopt;
    std::string bytes(size, '\0');
    if (size > 0 &&
        ::RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(bytes.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    bytes.resize(size);
    return bytes;
}

std::optional<std::string> CRegKey::QueryText(const char* name) const
{
    DWORD type = 0;
    auto bytes = QueryBytes(name, type);
    if (bytes)
        bytes->resize(bytes->find('\0') == std::string::npos ? bytes->size() : bytes->find('\0'));
    return bytes;
}

std::optional<std::string> CRegKey::QueryString(const char* name) const
{
    DWORD type = 0, size = 0;
    if (!QueryInfo(name, type, size) || type != REG_SZ)
        return std::nullopt;
    return QueryText(name);
}

LONG CRegKey::SetValue(const char* name, DWORD type, const void* data, DWORD size) const
{
    return ::RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
}
