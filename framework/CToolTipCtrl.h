// A tooltip window with its tools; destroyed with the object.
#pragma once
#include <string>

#include "Afx.h"

class CToolTipCtrl {
public:
    CToolTipCtrl() = default;
    ~CToolTipCtrl();
    CToolTipCtrl(const CToolTipCtrl&) = delete;
    CToolTipCtrl& operator=(const CToolTipCtrl&) = delete;

    bool Create(HWND owner, DWORD style = 0);
    bool AddTool(HWND window, const std::string& text, const RECT& rect, UINT_PTR id);
    void UpdateTipText(const std::string& text, HWND window, UINT_PTR id);
    // Lets the tooltip see a mouse message meant for one of its tools.
    void RelayEvent(const MSG& msg) const;
    HWND Handle() const { return hwnd; }

private:
    HWND hwnd = nullptr;
};
