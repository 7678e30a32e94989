// The bridge's control panel: settings fields and their rules, Listen/Stop, the end of the session.
#pragma once
#include <functional>
#include <initializer_list>
#include <string>

#include "../../framework/CDialog.h"
#include "../engine/BridgeEngine.h"
#include "../core/BridgeSettings.h"
#include "../core/ListenCheck.h"
#include "PanelEngineView.h"
#include "ComPortChooser.h"
#include "ModelPresetChooser.h"
#include "ServiceFace.h"
#include "ServiceSettingsEditor.h"
#include "TrayPresence.h"

// Tray icon callback message.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 2;

// The window only: what it shows and what its controls do. The bridge itself is the engine.
class CControlPanelDlg : public CDialog {
public:
    explicit CControlPanelDlg(BridgeSettings& appSettings);

    // What the panel shows of the settings, exchanged with the controls (window thread only); the
    // flags are check states. The list positions are read from the lists themselves when needed.
    PanelValues shown;
    int manualParameters = 1;
    std::string statusText;

    // Writes the settings to the store: at the session's end the process may be ended any moment.
    std::function<void()> saveSettings;
    // Set before the panel opens: the service holds the line, and the panel only shows its settings.
    bool serviceHoldsLine = false;
    // Set before the panel opens: an administrator's copy editing the service's settings.
    bool editingServiceSettings = false;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnCom1Clicked() { comPorts.OnCom1Clicked(); }
    void OnCom2Clicked() { comPorts.OnCom2Clicked(); }
    void OnOtherPortChosen() { comPorts.OnOtherPortChosen(); }
    void FillComPorts() { comPorts.Fill(); }
    void OnLogToFileClicked();
    void OnLogToTcpClicked();
    void OnManualClicked() { presets.OnManualClicked(); }
    void ApplyModelPreset() { presets.OnModelChosen(); }
    void OnListenToggle();
    void OnAccess();
    void OnTimer(UINT_PTR id);
    void OnClose();
    void OnSize(UINT type, int cx, int cy);
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon() const { return icon; }
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeviceChange(WPARAM event, LPARAM);
    // The shell and the session.
    LRESULT OnTaskbarCreated(WPARAM, LPARAM);
    LRESULT OnShowPanel(WPARAM, LPARAM);
    LRESULT OnQueryEndSession(WPARAM, LPARAM) { return TRUE; }
    LRESULT OnEndSession(WPARAM ending, LPARAM);

    DECLARE_MESSAGE_MAP(CControlPanelDlg)

private:
    // What the engine reports is shown by its face, which reaches into the panel's controls; so
    // does what the service reports.
    friend class PanelEngineView;
    friend class ServiceFace;
    friend class ServiceSettingsEditor;
    LRESULT OnServiceLink(WPARAM, LPARAM)
    {
        serviceFace.OnLink();
        return 0;
    }
    LRESULT OnElevatedVerbDone(WPARAM result, LPARAM outcome)
    {
        serviceFace.OnVerbDone(static_cast<DWORD>(result), outcome);
        return 0;
    }
    LRESULT OnShowError(WPARAM, LPARAM)
    {
        engineView.OnShowError();
        return 0;
    }

    void FillLists() const;
    void ApplyLogRules() const;
    void ShowIdleLook() const;
    void ShowServiceLook();
    LRESULT OnWindowPosChanging(WPARAM, LPARAM lParam);
    BridgeOptions Options() const;
    static int FieldOf(ListenCheck::Field field);
    void FailAtField(int id, const std::string& text);
    void CopyPanelToSettings();
    void EnableItems(std::initializer_list<int> ids, bool enable) const;

    BridgeSettings& settings;
    ComPortChooser comPorts{*this, shown.com1Selected, shown.com2Selected, shown.otherComPort};
    ModelPresetChooser presets{*this, manualParameters, shown.listenPort, shown.configPort};
    HICON icon;
    TrayPresence trayIcon;
    PanelEngineView engineView{*this};
    BridgeEngine engine{engineView};
    ServiceFace serviceFace{*this};  // attached only while the service holds the line
    ServiceSettingsEditor serviceSettings{*this};  // attached only in the editing copy
};
