// The serial ports Windows lists now, with their devices' friendly names.
#pragma once
#include <vector>

#include "../core/ComPortList.h"

class SerialPortScan {
public:
    // Every port under HKLM\HARDWARE\DEVICEMAP\SERIALCOMM (where the drivers of all serial ports,
    // USB adapters and virtual ports included, put their names), with the friendly name of the
    // device behind it where the system's device list has one. Empty when nothing is listed.
    static std::vector<ComPortList::Present> Present();
};
