// One notification-area icon of a window; the shell forgets it when the object goes out of scope.
#include "CTrayIcon.h"

#if defined(__i386__)
static_assert(NOTIFYICONDATAA_V2_SIZE == 488, "the tray record keeps its 488-byte form");
#endif

void CTrayIcon::Define(HWND owner, UINT id, UINT callbackMessage, HICON icon, const char* tip)
{
    record = NOTIFYICONDATAA{};
    // The shell version 5 layout: 488 bytes in the 32-bit release.
    record.cbSize = NOTIFYICONDATAA_V2_SIZE;
    record.hWnd = owner;
    record.uID = id;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = callbackMessage;
    record.hIcon = icon;
    ::lstrcpynA(record.szTip, tip, 128);
}

void CTrayIcon::Add()
{
    if (!record.hWnd)
        return;
    ::Shell_NotifyIconA(NIM_ADD, &record);
    added = true;
}

void CTrayIcon::AddAgain()
{
    if (added)
        ::Shell_NotifyIconA(NIM_ADD, &record);
}

void CTrayIcon::Remove()
{
    if (!added)
        return;
    ::Shell_NotifyIconA(NIM_DELETE, &record);
    added = false;
}

void CTrayIcon::SetTip(const char* tip)
{
    ::lstrcpynA(record.szTip, tip, 128);
    if (!added)
        return;
    NOTIFYICONDATAA change = record;
    change.uFlags = NIF_TIP;
    ::Shell_NotifyIconA(NIM_MODIFY, &change);
}
