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
    bool com1 = false;
    bool com2 = false;
    SerialParameters serial;
    bool logToFile = false;
    std::string logFileName;
    bool logToTcp = false;
    std::string logAddress;
    int logPort = 0;
};
