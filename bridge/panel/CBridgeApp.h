// The bridge's application object: socket start-up, settings load and save, the panel's modal run.
#pragma once
#include "../../framework/CWinApp.h"
#include "../core/BridgeSettings.h"
#include "../engine/SettingsStore.h"

class CBridgeApp : public CWinApp {
public:
    CBridgeApp() = default;
    ~CBridgeApp() override;

    BOOL InitInstance() override;
    void LoadSettings();
    void SaveSettings() const;

    BridgeSettings settings;  // UI thread only

private:
    BOOL EditServiceSettings();
    // Under the current user's profile: HKCU\Software\<company>\<program name>\Settings.
    SettingsStore Store() const;

    bool settingsLoaded = false;  // only what was read is written back
};
