// A modal dialog from a resource template, with data exchange and the OK/Cancel defaults.
#pragma once
#include "CWnd.h"

class CDataExchange;

class CDialog : public CWnd {
public:
    explicit CDialog(UINT dialogTemplate, CWnd* parentWindow = nullptr) : templateId(dialogTemplate), parent(parentWindow) {}

    // Runs the dialog's own modal loop; returns the EndDialog result, or -1 when it cannot be created.
    virtual INT_PTR DoModal();
    void EndDialog(int result) const { ::EndDialog(m_hWnd, result); }

    // Controls to fields (save) or fields to controls; false when a check failed
    // (the user has been told and the offending control has the focus).
    bool UpdateData(bool saveAndValidate = true);
    // Controls to fields with nobody to ask: a field whose text fails its check keeps its value.
    void ReadDataQuietly();

protected:
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    virtual void DoDataExchange(CDataExchange* pDX) { (void)pDX; }
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT templateId;
    CWnd* parent;
};
