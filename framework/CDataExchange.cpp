// Moves values between dialog controls and fields, with the integer and length checks.
#include "CDataExchange.h"

#include "CDialog.h"
#include "CUserException.h"
#include "../common/IntegerText.h"

HWND CDataExchange::PrepareCtrl(int id)
{
    lastControl = m_pDlgWnd->GetDlgItem(id);
    lastWasEdit = false;
    return lastControl;
}

HWND CDataExchange::PrepareEditCtrl(int id)
{
    HWND control = PrepareCtrl(id);
    lastWasEdit = true;
    return control;
}

void CDataExchange::Fail()
{
    if (m_bSaveAndValidate && lastControl) {
        ::SendMessageA(m_pDlgWnd->m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(lastControl), TRUE);
        if (lastWasEdit)
            ::SendMessageA(lastControl, EM_SETSEL, 0, -1);
    }
    throw CUserException();
}

void DDX_Text(CDataExchange* pDX, int id, int& value)
{
    HWND control = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        auto parsed = IntegerText::Parse(pDX->m_pDlgWnd->GetWindowText(control));
        if (!parsed) {
            if (pDX->m_bQuiet)
                return;
            AfxMessageBox(AFX_INVALID_INTEGER_TEXT, MB_OK | MB_ICONEXCLAMATION);
            pDX->Fail();
        }
        value = *parsed;
    } else {
        ::SetWindowTextA(control, IntegerText::Format(value).c_str());
    }
}

void DDX_Text(CDataExchange* pDX, int id, std::string& value)
{
    HWND control = pDX->PrepareEditCtrl(id);
    if (pDX->m_bSaveAndValidate)
        value = pDX->m_pDlgWnd->GetWindowText(control);
    else
        ::SetWindowTextA(control, value.c_str());
}

void DDX_Check(CDataExchange* pDX, int id, int& value)
{
    HWND control = pDX->PrepareCtrl(id);
    if (pDX->m_bSaveAndValidate) {
        value = static_cast<int>(::SendMessageA(control, BM_GETCHECK, 0, 0));
    } else {
        if (value < 0 || value > 2)
            value = 0;
        ::SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
    }
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control)
{
    if (!control.m_hWnd)
        control.SubclassWindow(pDX->PrepareCtrl(id));
}

void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int maxChars)
{
    if (pDX->m_bSaveAndValidate) {
        if (static_cast<int>(value.size()) > maxChars && !pDX->m_bQuiet) {
            std::string text = AFX_MAX_CHARS_TEXT;
            text.replace(text.find("%1"), 2, std::to_string(maxChars));
            AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
            pDX->Fail();
        }
    } else {
        // The limit goes to the control prepared last, the one whose field this checks.
        if (HWND control = pDX->LastControl())
            ::SendMessageA(control, EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0);
    }
}
