// The About box opened from the panel's system menu.
#pragma once
#include "../../framework/CDialog.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* parent);
};
