// One notification-area icon of a window; the shell forgets it when the object goes out of scope.
#pragma once
#include "Afx.h"

#include <shellapi.h>

class CTrayIcon {
public:
    CTrayIcon() = default;
    ~CTrayIcon() { Remove(); }
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // The record Add registers: owner window, icon id, callback message, icon and tip.
    void Define(HWND owner, UINT id, UINT callbackMessage, HICON icon, const char* tip);
    // The shell's answers are not looked at: adding an icon that is there changes nothing.
    void Add();
    // A restarted shell has forgotten every icon: the one that was there is added again.
    void AddAgain();
    void Remove();
    // A new tip: kept for the next Add, and shown at once when the icon is there.
    void SetTip(const char* tip);

private:
    NOTIFYICONDATAA record{};
    bool added = false;  // window thread only
};
