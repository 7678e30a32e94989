// The news server configuration dialog: address, port and the don't-show flag.
#include "CMorvekNewsCfgDlg.h"

#include "../framework/CDataExchange.h"
#include "../common/IntegerText.h"
#include "NewsSettingsStore.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CMorvekNewsCfgDlg, CDialog)
    ON_EN_CHANGE(IDC_SERVER_PORT, OnFieldChanged)
    ON_BN_CLICKED(IDC_DONT_SHOW, OnFieldChanged)
    ON_EN_CHANGE(IDC_SERVER_ADDRESS, OnFieldChanged)
END_MESSAGE_MAP()

CMorvekNewsCfgDlg::CMorvekNewsCfgDlg(CWnd* parentWindow) : CDialog(IDD_SERVER_CONFIG, parentWindow) {}

void CMorvekNewsCfgDlg::DoDataExchange(CDataExchange* pDX)
{
    DDX_Text(pDX, IDC_SERVER_PORT, portText);
    DDV_MaxChars(pDX, portText, PORT_CHARS);
    DDX_Check(pDX, IDC_DONT_SHOW, dontShow);
    DDX_Control(pDX, IDC_SERVER_ADDRESS, hostEdit);
}

BOOL CMorvekNewsCfgDlg::OnInitDialog()
{
    CDialog::OnInitDialog();
    if (manager) {
        hostEdit.SetWindowText(manager->GetHost());
        portText = IntegerText::Format(manager->GetPort());
        dontShow = manager->GetDontShow();
    }
    UpdateData(false);
    return TRUE;
}

void CMorvekNewsCfgDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    if (modified && manager) {
        const std::string address = hostEdit.GetWindowText();
        manager->SetHost(address);
        NewsSettingsStore::WriteString(IDS_SERVER_ADDRESS, nullptr, address);
        const int port = IntegerText::ParseLeading(portText).value_or(0);
        manager->SetPort(port);
        NewsSettingsStore::WriteInt(IDS_SERVER_PORT, nullptr, port);
        manager->SetDontShow(dontShow);
        modified = false;
    }
    EndDialog(IDOK);
}
