// The service's state as the panel sees it, kept from what the engine and the event log are told.
#pragma once
#include <functional>
#include <string>

#include "BridgeOptions.h"
#include "ServiceEventLog.h"
#include "ServiceStatus.h"

// The service's thread only. Every change is handed to `publish` at once, whole. It stands
// between the event log and its writer, so that every failure the log gets is also the newest
// failure the panel shows, with its time.
class ServiceStatusBoard : public ServiceEventLog::Writer {
public:
    using Publish = std::function<void(const ServiceStatus&)>;
    using Clock = std::function<std::string()>;  // the local time as "2026-12-07 14:03:05"

    ServiceStatusBoard(ServiceEventLog::Writer& next, Publish publish, Clock clock)
        : writer(next), publishTo(std::move(publish)), now(std::move(clock)) {}

    // The listeners are up with these options: their ports, the line's first settings, no client.
    void Listening(const BridgeOptions& options, const std::string& noClientText);
    // Nothing listens (stopped, or waiting to try again).
    void Idle();
    void Status(const std::string& text);
    void LineLost(bool lost);
    void Rate(int bitsPerSecond);
    void Parity(int code);
    void StopBits(int code);

    void Write(const ServiceEventLog::Entry& entry) override;

    const ServiceStatus& Current() const { return current; }

private:
    void Change(const std::function<void(ServiceStatus&)>& edit);

    ServiceEventLog::Writer& writer;
    Publish publishTo;
    Clock now;
    ServiceStatus current;
};
