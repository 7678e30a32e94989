// A modal dialog from a resource template, with data exchange and the OK/Cancel defaults.
#include "CDialog.h"

#include "CDataExchange.h"
#include "CException.h"
#include "CUserException.h"

INT_PTR CDialog::DoModal()
{
    HWND owner = parent ? parent->GetSafeHwnd() : ::GetActiveWindow();
    if (owner)
        owner = ::GetAncestor(owner, GA_ROOT);
    return ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(templateId), owner, DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

bool CDialog::UpdateData(bool saveAndValidate)
{
    CDataExchange dx(this, saveAndValidate);
    try {
        DoDataExchange(&dx);
    } catch (const CUserException&) {
        return false;
    }
    return true;
}

void CDialog::ReadDataQuietly()
{
    CDataExchange dx(this, true, true);
    try {
        DoDataExchange(&dx);
    } catch (const CUserException&) {
    }
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(false);
    return TRUE;
}

void CDialog::OnOK()
{
    if (UpdateData(true))
        EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

bool CDialog::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // A control bound to a framework object handles its own notifications first.
    if ((message == WM_COMMAND && lParam) || message == WM_CTLCOLORSTATIC) {
        if (CWnd::ReflectToChild(reinterpret_cast<HWND>(lParam), message, wParam, lParam, result))
            return true;
    }
    if (CWnd::OnWndMsg(message, wParam, lParam, result))
        return true;
    if (message == WM_INITDIALOG) {
        result = OnInitDialog();
        return true;
    }
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDOK) {
            OnOK();
            return true;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            OnCancel();
            return true;
        }
    }
    return false;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    LRESULT result = 0;
    bool handled = false;
    // A handler that throws is abandoned; the user sees the error and the program goes on.
    try {
        handled = OnWndMsg(message, wParam, lParam, result);
    } catch (const CException& e) {
        e.ReportError();
        handled = true;
    } catch (const std::exception& e) {
        AfxMessageBox(e.what(), MB_OK | MB_ICONEXCLAMATION);
        handled = true;
    }
    if (!handled)
        return FALSE;
    switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
        return static_cast<INT_PTR>(result);
    default:
        ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
        return TRUE;
    }
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
        self->m_hWnd = hwnd;
    } else {
        self = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self)
        return FALSE;
    INT_PTR answer = self->Dispatch(message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        self->m_hWnd = nullptr;
    }
    return answer;
}
