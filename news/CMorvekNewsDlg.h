// The news window: two pictures and up to six dated message lines as link labels.
#pragma once
#include "../framework/CDialog.h"
#include "CLinkLabel.h"
#include "CNewsManager.h"

class CMorvekNewsDlg : public CDialog {
public:
    static constexpr int LABEL_COUNT = 6;

    explicit CMorvekNewsDlg(CWnd* parentWindow = nullptr);

    CNewsManager* manager = nullptr;  // not owned; set before the window runs
    CLinkLabel newsLabels[LABEL_COUNT];

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
};
