// The news server configuration dialog: address, port and the don't-show flag.
#pragma once
#include <string>

#include "../framework/CDialog.h"
#include "../framework/CEdit.h"
#include "CNewsManager.h"

class CMorvekNewsCfgDlg : public CDialog {
public:
    static constexpr int PORT_CHARS = 4;

    explicit CMorvekNewsCfgDlg(CWnd* parentWindow = nullptr);

    bool modified = false;
    std::string portText;
    CNewsManager* manager = nullptr;  // not owned; set before the dialog runs
    int dontShow = 0;
    CEdit hostEdit;

    void OnFieldChanged() { modified = true; }

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

    DECLARE_MESSAGE_MAP(CMorvekNewsCfgDlg)
};
