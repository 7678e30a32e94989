// Everything the bridge engine takes from the panel when it starts listening.
#pragma once
#include <string>

// The line's settings at Listen, in the line's own terms; KEEP leaves the port's own setting
// (the panel's list had no selection).
struct SerialParameters {
    static constexpr int KEEP = -1;
    int baudRate = KEEP;  // bits per second
    int parity = KEEP;    // the DCB's parity code: 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBits = KEEP;  // the DCB's stop-bit code: 0 one, 1 one and a half, 2 two
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
