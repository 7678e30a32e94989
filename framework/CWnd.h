// A window owned by the framework: its handle, message-map dispatch and the control helpers dialogs use.
#pragma once
#include <string>

#include "MessageMap.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    void EnableDlgItem(int id, bool enable) const { ::EnableWindow(GetDlgItem(id), enable ? TRUE : FALSE); }
    void SetDlgItemText(int id, const std::string& text) const { ::SetDlgItemTextA(m_hWnd, id, text.c_str()); }
    std::string GetWindowText(HWND hwnd) const;
    void ShowWindow(int cmd) const { ::ShowWindow(m_hWnd, cmd); }
    bool IsIconic() const { return ::IsIconic(m_hWnd) != FALSE; }
    UINT_PTR SetTimer(UINT_PTR id, UINT elapseMs) const { return ::SetTimer(m_hWnd, id, elapseMs, nullptr); }
    void KillTimer(UINT_PTR id) const { ::KillTimer(m_hWnd, id); }
    LRESULT SendDlgItemMessage(int id, UINT msg, WPARAM wp = 0, LPARAM lp = 0) const
    {
        return ::SendDlgItemMessageA(m_hWnd, id, msg, wp, lp);
    }
    int GetComboSel(int id) const { return static_cast<int>(SendDlgItemMessage(id, CB_GETCURSEL)); }
    void SetComboSel(int id, int index) const { SendDlgItemMessage(id, CB_SETCURSEL, static_cast<WPARAM>(index)); }

    void SetWindowText(const std::string& text) const { ::SetWindowTextA(m_hWnd, text.c_str()); }
    std::string GetWindowText() const { return GetWindowText(m_hWnd); }
    HFONT GetFont() const { return reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0)); }

    // Binds this object to an existing control: the attach step runs, then the control's
    // messages pass through this object's message map before the control's own procedure.
    bool SubclassWindow(HWND hwnd);
    // The framework object bound to a window, if any.
    static CWnd* FromHandlePermanent(HWND hwnd);
    // Offers a notification the parent received back to the control that sent it.
    static bool ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    HWND m_hWnd = nullptr;  // owned by the thread that created the window

protected:
    virtual void PreSubclassWindow() {}
    // The control's own processing of the message being handled, run now.
    LRESULT CallDefault();
    // Dispatches through the message map chain; true when a handler took the message.
    virtual bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    virtual const AFX_MSGMAP* GetMessageMap() const { return &messageMap; }
    // Called by a handler that wants the system's default processing as well.
    void Default() { defaultRequested = true; }

    static const AFX_MSGMAP messageMap;

private:
    static const AFX_MSGMAP_ENTRY messageEntries[];
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void Unsubclass();

    bool defaultRequested = false;
    WNDPROC originalProc = nullptr;
    MSG currentMessage{};
};
