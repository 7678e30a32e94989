// The event source "Vextor" in the Application log: where the event viewer finds the service's messages.
#include "EventSourceRegistration.h"

LONG EventSourceRegistration::Register(const std::wstring& programPath)
{
    HKEY key = nullptr;
    LONG rc = ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, KEY_PATH, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                                &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = ::RegSetValueExW(key, L"EventMessageFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(programPath.c_str()),
                          static_cast<DWORD>((programPath.size() + 1) * sizeof(wchar_t)));
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    if (rc == ERROR_SUCCESS)
        rc = ::RegSetValueExW(key, L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof types);
    ::RegCloseKey(key);
    return rc;
}

LONG EventSourceRegistration::Remove()
{
    const LONG rc = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, KEY_PATH);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}
