// The bridge's application object: socket start-up, settings load and save, the panel's modal run.
#include "CBridgeApp.h"

#include "../../framework/AfxSocket.h"
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
    LoadSettings();

    {
        CControlPanelDlg panel(settings);
        m_pMainWnd = &panel;
        panel.saveSettings = [this] { SaveSettings(); };
        panel.DoModal();
        m_pMainWnd = nullptr;
    }
    // No message loop after the panel: the process ends here.
    return FALSE;
}

void CBridgeApp::LoadSettings()
{
    const char* s = BridgeSettings::SECTION;
    BridgeSettings defaults;
    settings.comPort = GetProfileInt(s, BridgeSettings::NAME_COM_PORT, defaults.comPort);
    settings.baudRate = GetProfileInt(s, BridgeSettings::NAME_BAUD_RATE, defaults.baudRate);
    settings.parity = GetProfileInt(s, BridgeSettings::NAME_PARITY, defaults.parity);
    settings.stopBits = GetProfileInt(s, BridgeSettings::NAME_STOP_BITS, defaults.stopBits);
    settings.listenPort = GetProfileInt(s, BridgeSettings::NAME_LISTEN_PORT, defaults.listenPort);
    settings.logPort = GetProfileInt(s, BridgeSettings::NAME_LOG_PORT, defaults.logPort);
    settings.logAddress = GetProfileString(s, BridgeSettings::NAME_LOG_ADDRESS, defaults.logAddress.c_str());
    settings.logFileName = GetProfileString(s, BridgeSettings::NAME_LOG_FILE_NAME, defaults.logFileName.c_str());
    settings.logToFile = GetProfileInt(s, BridgeSettings::NAME_LOG_TO_FILE, defaults.logToFile);
    settings.logToTcp = GetProfileInt(s, BridgeSettings::NAME_LOG_TO_TCP, defaults.logToTcp);
    settings.listenAddress = GetProfileString(s, BridgeSettings::NAME_LISTEN_ADDRESS, defaults.listenAddress.c_str());
    settings.allowedClients = GetProfileString(s, BridgeSettings::NAME_ALLOWED_CLIENTS, defaults.allowedClients.c_str());
    settings.takeover = GetProfileInt(s, BridgeSettings::NAME_TAKEOVER, defaults.takeover);
    settings.configPortEnabled = GetProfileInt(s, BridgeSettings::NAME_CONFIG_PORT_ENABLED, defaults.configPortEnabled);
    settings.traceFileName = GetProfileString(s, BridgeSettings::NAME_TRACE_FILE_NAME, defaults.traceFileName.c_str());
    settings.rfc2217Port = GetProfileInt(s, BridgeSettings::NAME_RFC2217_PORT, defaults.rfc2217Port);
    settingsLoaded = true;
}

void CBridgeApp::SaveSettings() const
{
    const char* s = BridgeSettings::SECTION;
    WriteProfileInt(s, BridgeSettings::NAME_COM_PORT, settings.comPort);
    WriteProfileInt(s, BridgeSettings::NAME_BAUD_RATE, settings.baudRate);
    WriteProfileInt(s, BridgeSettings::NAME_PARITY, settings.parity);
    WriteProfileInt(s, BridgeSettings::NAME_STOP_BITS, settings.stopBits);
    WriteProfileInt(s, BridgeSettings::NAME_LISTEN_PORT, settings.listenPort);
    WriteProfileInt(s, BridgeSettings::NAME_LOG_PORT, settings.logPort);
    WriteProfileString(s, BridgeSettings::NAME_LOG_ADDRESS, settings.logAddress);
    WriteProfileString(s, BridgeSettings::NAME_LOG_FILE_NAME, settings.logFileName);
    WriteProfileInt(s, BridgeSettings::NAME_LOG_TO_FILE, settings.logToFile);
    WriteProfileInt(s, BridgeSettings::NAME_LOG_TO_TCP, settings.logToTcp);
    WriteProfileString(s, BridgeSettings::NAME_LISTEN_ADDRESS, settings.listenAddress);
    WriteProfileString(s, BridgeSettings::NAME_ALLOWED_CLIENTS, settings.allowedClients);
    WriteProfileInt(s, BridgeSettings::NAME_TAKEOVER, settings.takeover);
    WriteProfileInt(s, BridgeSettings::NAME_CONFIG_PORT_ENABLED, settings.configPortEnabled);
    WriteProfileString(s, BridgeSettings::NAME_TRACE_FILE_NAME, settings.traceFileName);
    WriteProfileInt(s, BridgeSettings::NAME_RFC2217_PORT, settings.rfc2217Port);
}
