// Everything the bridge engine takes from the panel when it starts listening.
#pragma once
#include <string>

// Positions in the panel's lists; -1 when a list has no selection.
struct SerialParameters {
    int speedIndex = -1;
    int parityIndex = -1;
    int stopBitsIndex = -1;
};

struct BridgeOptions {
    int listenPort = 0;
    int configPort = 0;
    int comPort = 0;  // 1 to 255: the COM port to open; 0: none
    SerialParameters serial;
    bool logToFile = false;
    std::string logFileName;
    bool logToTcp = false;
    std::string logAddress;
    int logPort = 0;

    // Who may connect, and how; from the access settings.
    std::string listenAddress;   // empty: every interface
    std::string allowedClients;  // empty: anyone
    int takeover = 0;            // ClientAdmission::Takeover's values
    bool configPortEnabled = true;
    std::string traceFileName;   // empty: no connection trace
    int rfc2217Port = 0;         // 0: off
};
