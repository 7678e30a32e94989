// Who may reach the bridge: listen address, allowed clients, takeover rule, configuration port, RFC 2217 port, trace file.
#pragma once
#include <string>
#include <vector>

#include "../../framework/CDialog.h"
#include "../core/BridgeSettings.h"

// Opened from the panel while the bridge is idle; OK writes the settings, Cancel leaves them.
class CAccessDlg : public CDialog {
public:
    CAccessDlg(BridgeSettings& appSettings, CWnd* parent);

    // Fields, exchanged with the controls (window thread only).
    std::string listenAddress;
    std::string allowedClients;
    int takeover = 0;
    int configPortEnabled = 1;
    int rfc2217Port = 0;
    std::string traceFileName;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void FillListenAddresses();

    BridgeSettings& settings;
    std::vector<std::string> listedAddresses;  // the address behind each entry of the list
};
