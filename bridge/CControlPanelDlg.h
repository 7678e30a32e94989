// The bridge's control panel: settings fields, enabling rules, model presets, Listen/Stop, tray icon.
#pragma once
#include <string>

#include "../framework/CDialog.h"
#include "BridgeSettings.h"

// Tray icon callback message.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 2;

class CControlPanelDlg : public CDialog {
public:
    explicit CControlPanelDlg(BridgeSettings& settings);

    void AddTrayIcon() const;
    void RemoveTrayIcon() const;

    // Panel fields, exchanged with the controls (UI thread only).
    int com1Selected = 0;
    int com2Selected = 0;
    int logToFile = 0;
    std::string logFileName;
    int logToTcp = 0;
    std::string logAddress;
    int logPort = 0;
    int listenPort = 0;
    int configPort = 5002;
    int manualParameters = 1;
    std::string statusText;
    bool windowShown = true;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnCom1Clicked();
    void OnCom2Clicked();
    void OnLogToFileClicked();
    void OnLogToTcpClicked();
    void OnManualClicked();
    void ApplyModelPreset();
    void OnListenToggle();
    void OnTimer(UINT_PTR id);
    void OnClose();
    void OnSize(UINT type, int cx, int cy);
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon() const { return icon; }
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP(CControlPanelDlg)

private:
    void FillLists() const;
    void ApplyManualRule() const;
    void ApplyLogRules() const;
    void ShowListeningLook() const;
    void ShowIdleLook() const;
    void HideToTray();
    void CopyPanelToSettings();
    void EnableItems(std::initializer_list<int> ids, bool enable) const;

    BridgeSettings& settings;
    HICON icon;
    int listening = 0;  // UI thread only
};
