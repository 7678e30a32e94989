// An open registry key, closed when the object goes out of scope.
#pragma once
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

private:
    HKEY key = nullptr;
};
