// The panel's presence in the notification area, and whether the panel means to be seen.
#pragma once
#include "../../framework/CTrayIcon.h"

// Window thread only: every call comes from the panel's message handlers.
class TrayPresence {
public:
    // The panel's window and the icon that stands for it.
    void Define(HWND panelWindow, UINT iconId, UINT callbackMessage, HICON trayIcon, const char* tip);
    // The icon shows; adding it when it is there changes nothing.
    void Add() { icon.Add(); }
    // The panel goes to the tray: hidden, and the icon is there to bring it back.
    void Hide();
    // A click on the icon shows a hidden panel and hides a shown one.
    LRESULT OnNotify(LPARAM lParam);
    // The shell was built afresh and has forgotten the icon.
    LRESULT OnTaskbarCreated();
    // A second start of the program asks for the panel.
    LRESULT OnShowRequest();
    // Lets a show through only while the panel means to be seen.
    void FilterShow(WINDOWPOS& pos) const;
    void SetTip(const char* tip) { icon.SetTip(tip); }
    // The end of the program: the icon goes away with it.
    void Remove() { icon.Remove(); }

private:
    HWND panel = nullptr;
    bool windowShown = true;
    CTrayIcon icon;
};
