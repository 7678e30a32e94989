// A tooltip window with its tools; destroyed with the object.
#include "CToolTipCtrl.h"

#include <commctrl.h>

CToolTipCtrl::~CToolTipCtrl()
{
    if (hwnd && ::IsWindow(hwnd))
        ::DestroyWindow(hwnd);
}

bool CToolTipCtrl::Create(HWND owner, DWORD style)
{
    INITCOMMONCONTROLSEX init{sizeof init, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&init);
    hwnd = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | style, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, nullptr, nullptr);
    return hwnd != nullptr;
}

bool CToolTipCtrl::AddTool(HWND window, const std::string& text, const RECT& rect, UINT_PTR id)
{
    TTTOOLINFOA info{};
    info.cbSize = sizeof info;
    info.hwnd = window;
    info.uId = id;
    info.rect = rect;
    info.lpszText = const_cast<char*>(text.c_str());
    return ::SendMessageA(hwnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&info)) != FALSE;
}

void CToolTipCtrl::UpdateTipText(const std::string& text, HWND window, UINT_PTR id)
{
    TTTOOLINFOA info{};
    info.cbSize = sizeof info;
    info.hwnd = window;
    info.uId = id;
    info.lpszText = const_cast<char*>(text.c_str());
    ::SendMessageA(hwnd, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&info));
}

void CToolTipCtrl::RelayEvent(const MSG& msg) const
{
    if (hwnd)
        ::SendMessageA(hwnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}
