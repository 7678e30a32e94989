// The bridge's persistent settings, their registry names and defaults, and the panel conversions.
#include "BridgeSettings.h"

#include "ComPortList.h"
#include "SerialEncodings.h"

PanelValues BridgeSettings::ToPanel() const
{
    PanelValues panel;
    panel.com1Selected = comPort == 1 ? 1 : 0;
    panel.com2Selected = comPort == 2 ? 1 : 0;
    panel.otherComPort = comPort >= 3 && comPort <= ComPortList::MAX_PORT ? comPort : 0;
    panel.speedIndex = SerialEncodings::SpeedIndexOf(baudRate);
    panel.parityIndex = SerialEncodings::ParityIndexOf(parity);
    panel.stopBitsIndex = SerialEncodings::StopBitsIndexOf(stopBits);
    panel.listenPort = listenPort;
    panel.logPort = logPort;
    panel.logAddress = logAddress;
    panel.logFileName = logFileName;
    panel.logToFile = logToFile;
    panel.logToTcp = logToTcp;
    panel.configPort = configPort;
    return panel;
}

void BridgeSettings::CopyFromPanel(const PanelValues& panel)
{
    const bool other = panel.otherComPort >= 3 && panel.otherComPort <= ComPortList::MAX_PORT;
    comPort = panel.com1Selected ? 1 : panel.com2Selected ? 2 : other ? panel.otherComPort : 0;
    if (int baud = SerialEncodings::BaudAt(panel.speedIndex); baud >= 0)
        baudRate = baud;
    if (int code = SerialEncodings::ParityCodeAt(panel.parityIndex); code >= 0)
        parity = code;
    if (int code = SerialEncodings::StopBitsCodeAt(panel.stopBitsIndex); code >= 0)
        stopBits = code;
    listenPort = panel.listenPort;
    logPort = panel.logPort;
    logAddress = panel.logAddress;
    logFileName = panel.logFileName;
    logToFile = panel.logToFile ? 1 : 0;
    logToTcp = panel.logToTcp ? 1 : 0;
    configPort = panel.configPort;
}

void BridgeSettings::CopyAccessTo(BridgeOptions& options) const
{
    options.listenAddress = listenAddress;
    options.allowedClients = allowedClients;
    options.takeover = takeover;
    options.configPortEnabled = configPortEnabled != 0;
    options.traceFileName = traceFileName;
    options.rfc2217Port = rfc2217Port;
}

BridgeOptions BridgeSettings::ToOptions(const std::string& folder) const
{
    const PanelValues panel = ToPanel();
    BridgeOptions options;
    options.listenPort = listenPort;
    options.configPort = configPort;
    options.comPort = panel.com1Selected ? 1 : panel.com2Selected ? 2 : panel.otherComPort;
    options.serial.baudRate = SerialEncodings::BaudAt(panel.speedIndex);
    options.serial.parity = SerialEncodings::ParityCodeAt(panel.parityIndex);
    options.serial.stopBits = SerialEncodings::StopBitsCodeAt(panel.stopBitsIndex);
    options.logToFile = logToFile != 0;
    options.logFileName = InFolder(logFileName, folder);
    options.logToTcp = logToTcp != 0;
    options.logAddress = logAddress;
    options.logPort = logPort;
    CopyAccessTo(options);
    options.traceFileName = InFolder(traceFileName, folder);
    return options;
}

std::string BridgeSettings::InFolder(const std::string& name, const std::string& folder)
{
    const bool rooted = !name.empty() && (name[0] == '\\' || name[0] == '/');
    const bool drive = name.size() >= 2 && name[1] == ':' &&
                       ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'));
    if (name.empty() || folder.empty() || rooted || drive)
        return name;
    const char last = folder.back();
    return folder + (last == '\\' || last == '/' ? "" : "\\") + name;
}
