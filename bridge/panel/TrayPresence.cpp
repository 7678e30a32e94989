// The panel's presence in the notification area, and whether the panel means to be seen.
#include "TrayPresence.h"

void TrayPresence::Define(HWND panelWindow, UINT iconId, UINT callbackMessage, HICON trayIcon, const char* tip)
{
    panel = panelWindow;
    icon.Define(panel, iconId, callbackMessage, trayIcon, tip);
}

void TrayPresence::Hide()
{
    ::ShowWindow(panel, SW_HIDE);
    windowShown = false;
    icon.Add();
}

LRESULT TrayPresence::OnNotify(LPARAM lParam)
{
    if (LOWORD(lParam) != WM_LBUTTONDOWN)
        return 0;
    if (windowShown) {
        ::ShowWindow(panel, SW_HIDE);
        windowShown = false;
    } else {
        windowShown = true;
        ::ShowWindow(panel, SW_RESTORE);
        ::SetForegroundWindow(panel);
        ::SetFocus(panel);
    }
    return 0;
}

LRESULT TrayPresence::OnTaskbarCreated()
{
    icon.AddAgain();
    return 0;
}

// Shown as a click on the tray icon shows it.
LRESULT TrayPresence::OnShowRequest()
{
    const bool wasShown = windowShown;
    windowShown = true;
    ::ShowWindow(panel, ::IsIconic(panel) || !wasShown ? SW_RESTORE : SW_SHOW);
    // A box open over the panel comes first, as the panel would bring it when activated.
    ::SetForegroundWindow(::GetLastActivePopup(panel));
    return 0;
}

// The dialog manager shows a modal dialog once its queue first runs empty. A panel hidden to the
// tray before that moment (closed at once after starting) would pop up again by itself, so a
// show is let through only while the panel means to be seen.
void TrayPresence::FilterShow(WINDOWPOS& pos) const
{
    if (!windowShown)
        pos.flags &= ~SWP_SHOWWINDOW;
}
