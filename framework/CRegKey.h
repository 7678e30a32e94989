// An open registry key with its typed reads and writes, closed when the object goes out of scope.
#pragma once
#include <cstdint>
#include <optional>
#include <string>

#include "Afx.h"

class CRegKey {
public:
    CRegKey() = default;
    ~CRegKey() { Close(); }
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;

    // Open an existing key; creating, the whole missing path is made.
    LONG Open(HKEY parent, const std::string& path, REGSAM access);
    LONG Create(HKEY parent, const std::string& path, REGSAM access);
    void Close();
    HKEY Get() const { return key; }

    // Type and size of a value; false when it is missing.
    bool QueryInfo(const char* name, DWORD& type, DWORD& size) const;
    // A value of another type or size counts as missing.
    std::optional<DWORD> QueryDWORD(const char* name) const;
    std::optional<std::int64_t> QueryQWORD(const char* name) const;
    // A REG_SZ value, up to its first zero byte.
    std::optional<std::string> QueryString(const char* name) const;
    // A value of any type read as text up to its first zero byte.
    std::optional<std::string> QueryText(const char* name) const;
    // The value's bytes as stored, and its type.
    std::optional<std::string> QueryBytes(const char* name, DWORD& type) const;

    LONG SetValue(const char* name, DWORD type, const void* data, DWORD size) const;
    LONG SetDWORD(const char* name, DWORD value) const { return SetValue(name, REG_DWORD, &value, sizeof value); }
    LONG SetString(const char* name, const std::string& value) const
    {
        return SetValue(name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
    }

private:
    template <typename T>
    std::optional<T> QueryFixed(const char* name, DWORD wantedType) const;

    HKEY key = nullptr;
};
