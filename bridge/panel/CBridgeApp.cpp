// The bridge's application object: socket start-up, settings load and save, the panel's modal run.
#include "CBridgeApp.h"

#include "../../framework/AfxSocket.h"
#include "../service/MachineSettingsKey.h"
#include "../service/ServicePresence.h"
#include "../service/ServiceVerbs.h"
#include "CControlPanelDlg.h"
#include "CInstanceGuard.h"

CBridgeApp theApp;

CBridgeApp::~CBridgeApp()
{
    if (settingsLoaded)
        SaveSettings();
}

BOOL CBridgeApp::InitInstance()
{
    // The service's verbs run and end the program with their exit code; no argument is the panel.
    const CommandLineVerb verb = ServiceVerbs::FromCommandLine();
    if (verb.verb == CommandLineVerb::Verb::EDIT_SERVICE_SETTINGS)
        return EditServiceSettings();
    if (verb.verb != CommandLineVerb::Verb::PANEL) {
        SetExitCode(ServiceVerbs::Run(verb));
        return FALSE;
    }
    // A second start only brings the running copy's panel forward; it touches no settings.
    CInstanceGuard instance;
    if (!instance.Claim(AppName()))
        return FALSE;
    if (!AfxSocketInit()) {
        AfxMessageBox("Błąd inicjacji soketu.", MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    SetRegistryKey(BridgeSettings::COMPANY_KEY);
    // While the service holds the line the panel shows the machine's settings and keeps them:
    // the user's own are neither shown nor written over.
    const bool serviceHoldsLine = ServicePresence::HoldsLine();
    if (serviceHoldsLine)
        settings = MachineSettingsKey::Store().Load();
    else
        LoadSettings();

    {
        CControlPanelDlg panel(settings);
        m_pMainWnd = &panel;
        panel.serviceHoldsLine = serviceHoldsLine;
        if (!serviceHoldsLine)
            panel.saveSettings = [this] { SaveSettings(); };
        panel.DoModal();
        m_pMainWnd = nullptr;
    }
    // No message loop after the panel: the process ends here.
    return FALSE;
}

// The administrator's copy a panel beside the service starts: it runs beside that panel (no
// single-instance guard), shows no tray icon and starts no engine; its settings are the machine's.
BOOL CBridgeApp::EditServiceSettings()
{
    if (!AfxSocketInit()) {
        AfxMessageBox("Błąd inicjacji soketu.", MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    SetRegistryKey(BridgeSettings::COMPANY_KEY);
    settings = MachineSettingsKey::Store().Load();
    CControlPanelDlg panel(settings);
    m_pMainWnd = &panel;
    panel.editingServiceSettings = true;
    panel.DoModal();
    m_pMainWnd = nullptr;
    return FALSE;
}

SettingsStore CBridgeApp::Store() const
{
    return SettingsStore(HKEY_CURRENT_USER, ProfileKeyPath(BridgeSettings::SECTION));
}

void CBridgeApp::LoadSettings()
{
    settings = Store().Load();
    settingsLoaded = true;
}

void CBridgeApp::SaveSettings() const
{
    Store().Save(settings);
}
