// An open registry key, closed when the object goes out of scope.
#include "CRegKey.h"

LONG CRegKey::Open(HKEY parent, const std::string& path, REGSAM access)
{
    Close();
    return RegOpenKeyExA(parent, path.c_str(), 0, access, &key);
}

LONG CRegKey::Create(HKEY parent, const std::string& path, REGSAM access)
{
    Close();
    return RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                           nullptr);
}

void CRegKey::Close()
{
    if (key) {
        RegCloseKey(key);
        key = nullptr;
    }
}
