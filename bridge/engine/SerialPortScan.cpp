// The serial ports Windows lists now, with their devices' friendly names.
#include "SerialPortScan.h"

#include <memory>
#include <string>

#include "../../framework/CRegKey.h"

#include <setupapi.h>

namespace {
// The device class of serial and parallel ports, {4D36E978-E325-11CE-BFC1-08002BE10318}.
const GUID PORTS_CLASS = {0x4D36E978, 0xE325, 0x11CE, {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18}};

struct DeviceListCloser {
    void operator()(void* list) const { ::SetupDiDestroyDeviceInfoList(list); }
};
using DeviceList = std::unique_ptr<void, DeviceListCloser>;

struct KeyCloser {
    void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using DeviceKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// The friendly names of the port devices present, by port number. The port's name is in the
// device's own key ("PortName"), the friendly name among its properties.
void AddFriendlyNames(std::vector<ComPortList::Present>& ports)
{
    HDEVINFO list = ::SetupDiGetClassDevsA(&PORTS_CLASS, nullptr, nullptr, DIGCF_PRESENT);
    if (list == INVALID_HANDLE_VALUE)
        return;
    const DeviceList devices(list);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    for (DWORD i = 0; ::SetupDiEnumDeviceInfo(devices.get(), i, &device); ++i) {
        HKEY opened = ::SetupDiOpenDevRegKey(devices.get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (opened == INVALID_HANDLE_VALUE)
            continue;
        const DeviceKey key(opened);
        char portName[32] = {};
        DWORD size = sizeof portName - 1;
        DWORD type = 0;
        if (::RegQueryValueExA(key.get(), "PortName", nullptr, &type, reinterpret_cast<BYTE*>(portName), &size) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            continue;
        const int number = ComPortList::ParseName(portName);
        char friendly[256] = {};
        if (number == 0 || !::SetupDiGetDeviceRegistryPropertyA(devices.get(), &device, SPDRP_FRIENDLYNAME, nullptr,
                                                                reinterpret_cast<BYTE*>(friendly), sizeof friendly - 1,
                                                                nullptr))
            continue;
        for (ComPortList::Present& port : ports) {
            if (port.number == number)
                port.friendlyName = friendly;
        }
    }
}
}

std::vector<ComPortList::Present> SerialPortScan::Present()
{
    std::vector<ComPortList::Present> ports;
    CRegKey map;
    if (map.Open(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", KEY_READ) != ERROR_SUCCESS)
        return ports;
    // Value names are the drivers' device names ("\Device\Serial0"); the data is the port's name.
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLength = sizeof name;
        char data[32] = {};
        DWORD dataLength = sizeof data - 1;
        DWORD type = 0;
        const LONG result = ::RegEnumValueA(map.Get(), i, name, &nameLength, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataLength);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS || type != REG_SZ)
            continue;
        if (const int number = ComPortList::ParseName(data))
            ports.push_back({number, {}});
    }
    if (!ports.empty())
        AddFriendlyNames(ports);
    return ports;
}
