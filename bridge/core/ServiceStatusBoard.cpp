// The service's state as the panel sees it, kept from what the engine and the event log are told.
#include "ServiceStatusBoard.h"

void ServiceStatusBoard::Change(const std::function<void(ServiceStatus&)>& edit)
{
    ServiceStatus next = current;
    edit(next);
    if (next == current)
        return;
    current = next;
    publishTo(current);
}

void ServiceStatusBoard::Listening(const BridgeOptions& options, const std::string& noClientText)
{
    Change([&](ServiceStatus& s) {
        s.dataPort = options.listenPort;
        s.configPort = options.configPortEnabled ? options.configPort : 0;
        s.rfc2217Port = options.rfc2217Port;
        s.status = noClientText;
        s.lineLost = false;
        s.rate = static_cast<int>(options.serial.baudRate);
        s.parity = options.serial.parity;
        s.stopBits = options.serial.stopBits;
    });
}

void ServiceStatusBoard::Idle()
{
    Change([](ServiceStatus& s) {
        s.dataPort = s.configPort = s.rfc2217Port = 0;
        s.status.clear();
        s.lineLost = false;
    });
}

void ServiceStatusBoard::Status(const std::string& text)
{
    Change([&](ServiceStatus& s) { s.status = text; });
}

void ServiceStatusBoard::LineLost(bool lost)
{
    Change([&](ServiceStatus& s) { s.lineLost = lost; });
}

void ServiceStatusBoard::Rate(int bitsPerSecond)
{
    Change([&](ServiceStatus& s) { s.rate = bitsPerSecond; });
}

void ServiceStatusBoard::Parity(int code)
{
    Change([&](ServiceStatus& s) { s.parity = code; });
}

void ServiceStatusBoard::StopBits(int code)
{
    Change([&](ServiceStatus& s) { s.stopBits = code; });
}

void ServiceStatusBoard::Write(const ServiceEventLog::Entry& entry)
{
    if (entry.id >= ServiceEventLog::FIRST_FAILURE_ID && entry.id < ServiceEventLog::FIRST_RECOVERY_ID)
        Change([&](ServiceStatus& s) {
            s.failure = entry.text;
            s.failureTime = now();
        });
    writer.Write(entry);
}
