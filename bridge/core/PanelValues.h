// What the control panel shows of the persistent settings: check states, list positions, fields.
#pragma once
#include <string>

struct PanelValues {
    int com1Selected = 0;
    int com2Selected = 0;
    int otherComPort = 0;  // the port chosen in the list beside the radio buttons (3 to 255); 0: none
    int speedIndex = -1;   // -1: no selection
    int parityIndex = -1;
    int stopBitsIndex = -1;
    int listenPort = 0;
    int logPort = 0;
    std::string logAddress;
    std::string logFileName;
    int logToFile = 0;
    int logToTcp = 0;
    int configPort = 0;
};
