// The bridge's persistent settings, their registry names and defaults, and the panel conversions.
#pragma once
#include <string>

#include "BridgeOptions.h"
#include "PanelValues.h"

class BridgeSettings {
public:
    static constexpr const char* SECTION = "Settings";
    static constexpr const char* COMPANY_KEY = "MORVEK Sp. z o.o.";

    // Value names, in the order they are read and written.
    static constexpr const char* NAME_COM_PORT = "Numer portu";
    static constexpr const char* NAME_BAUD_RATE = "Prędkość transmisji";
    static constexpr const char* NAME_PARITY = "Parzystość";
    static constexpr const char* NAME_STOP_BITS = "Bity stopu";
    static constexpr const char* NAME_LISTEN_PORT = "Portu IP nasłuchu";
    static constexpr const char* NAME_LOG_PORT = "Port IP logowania";
    static constexpr const char* NAME_LOG_ADDRESS = "Adres IP logowania";
    static constexpr const char* NAME_LOG_FILE_NAME = "Nazwa pliku logowania";
    static constexpr const char* NAME_LOG_TO_FILE = "Logowanie do pliku";
    static constexpr const char* NAME_LOG_TO_TCP = "Logowanie po TCP/IP";
    // Who may connect, set in the access dialog; plain names an installer can preset.
    static constexpr const char* NAME_LISTEN_ADDRESS = "listenAddress";
    static constexpr const char* NAME_ALLOWED_CLIENTS = "allowedClients";
    static constexpr const char* NAME_TAKEOVER = "takeover";
    static constexpr const char* NAME_CONFIG_PORT_ENABLED = "configPortEnabled";
    static constexpr const char* NAME_TRACE_FILE_NAME = "traceFileName";
    static constexpr const char* NAME_RFC2217_PORT = "rfc2217Port";
    static constexpr const char* NAME_CONFIG_PORT = "configPort";

    int comPort = 1;  // 1 to 255: COM1 to COM255; any other value: none
    int baudRate = 56000;
    int parity = 0;
    int stopBits = 0;
    int listenPort = 5000;
    int logPort = 5000;
    std::string logAddress = "127.0.0.1";
    std::string logFileName = "Kavrel.txt";
    int logToFile = 0;
    int logToTcp = 0;
    std::string listenAddress;   // empty: every interface
    std::string allowedClients;  // empty: anyone
    int takeover = 0;            // 0 newcomer takes over, 1 refused while connected, 2 same address only
    int configPortEnabled = 1;
    std::string traceFileName;   // empty: no connection trace
    int rfc2217Port = 0;         // 0: off
    int configPort = 5002;       // the configuration records' listener, when enabled

    // Values the panel cannot show (a rate outside the speed list, a parity code
    // above 4, a port number outside 1 to 255, ...) come out as no selection.
    PanelValues ToPanel() const;
    // Back from the panel: a list without a selection keeps the stored value.
    void CopyFromPanel(const PanelValues& panel);
    // The access settings into what the engine takes at Listen.
    void CopyAccessTo(BridgeOptions& options) const;
    // Everything the engine takes at Listen, read as the panel reads these settings: a serial
    // value the panel would show as no selection keeps the port's own setting, a port number
    // outside 1 to 255 is no COM port. Relative log and trace names are taken inside `folder`
    // when one is given: a service's current directory is the system's own.
    BridgeOptions ToOptions(const std::string& folder = {}) const;
    // `name` inside `folder`, unless it is empty or already names a place of its own (a drive,
    // a root, a network share).
    static std::string InFolder(const std::string& name, const std::string& folder);
};
