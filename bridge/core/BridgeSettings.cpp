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
