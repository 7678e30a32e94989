// The event source "Vextor" in the Application log: where the event viewer finds the service's messages.
#include "EventSourceRegistration.h"

#include "../../framework/CRegKey.h"

LONG EventSourceRegistration::Register(const std::wstring& programPath)
{
    CRegKey key;
    LONG rc = key.Create(HKEY_LOCAL_MACHINE, KEY_PATH, KEY_SET_VALUE);
    if (rc != ERROR_SUCCESS)
        return rc;
    // The path may hold any character: written as UTF-16, not through the ANSI code page.
    rc = ::RegSetValueExW(key.Get(), L"EventMessageFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(programPath.c_str()),
                          static_cast<DWORD>((programPath.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS)
        return rc;
    return key.SetDWORD("TypesSupported", EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE);
}

LONG EventSourceRegistration::Remove()
{
    const LONG rc = ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, KEY_PATH);
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}
