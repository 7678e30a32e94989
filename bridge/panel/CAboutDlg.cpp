// The About box opened from the panel's system menu.
#include "CAboutDlg.h"

#include "resource.h"

CAboutDlg::CAboutDlg(CWnd* parentWindow) : CDialog(IDD_ABOUTBOX, parentWindow) {}
