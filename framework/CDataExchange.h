// Moves values between dialog controls and fields, with the integer and length checks.
#pragma once
#include <string>

#include "Afx.h"

class CDialog;
class CWnd;

class CDataExchange {
public:
    // A quiet read tells the user nothing: a field whose text fails its check keeps its value.
    CDataExchange(CDialog* dialog, bool saveAndValidate, bool quiet = false)
        : m_bSaveAndValidate(saveAndValidate), m_bQuiet(quiet && saveAndValidate), m_pDlgWnd(dialog)
    {
    }

    HWND PrepareCtrl(int id);
    HWND PrepareEditCtrl(int id);
    // Gives the last prepared edit the focus with its text selected, then abandons the exchange.
    [[noreturn]] void Fail();
    HWND LastControl() const { return lastControl; }

    const bool m_bSaveAndValidate;
    const bool m_bQuiet;
    CDialog* const m_pDlgWnd;

private:
    HWND lastControl = nullptr;
    bool lastWasEdit = false;
};

// Shown when an integer field holds no number; the program's resources carry no text for it.
inline constexpr const char* AFX_INVALID_INTEGER_TEXT = "Wpisz liczbę całkowitą.";
inline constexpr const char* AFX_MAX_CHARS_TEXT = "Please enter no more than %1 characters.";

void DDX_Text(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
void DDX_Check(CDataExchange* pDX, int id, int& value);
// Binds the control to a framework object on the first exchange (its attach step runs then).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// Towards the control it limits what can be typed; from it, a longer text fails.
void DDV_MaxChars(CDataExchange* pDX, const std::string& value, int maxChars);
