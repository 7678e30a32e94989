// The service's face of the engine: what the panel would show in a box goes to the event log, in the same words.
#pragma once
#include <string>

#include "../core/ServiceEventLog.h"
#include "../engine/IEngineEvents.h"

// Service thread only, as the engine's calls are. Only changes of state are written: the client's
// comings and goings and the line's rate changes are the traffic log's and the trace's business.
class ServiceEngineView : public IEngineEvents {
public:
    explicit ServiceEngineView(ServiceEventLog& eventLog) : events(eventLog) {}

    // The COM port the line runs on, named when it comes back.
    void SetPortName(const std::string& name) { portName = name; }
    // The engine is being stopped: a loss it takes back is no recovery.
    void Stopping() { stopping = true; }

    void StageReached(ListenStage) override {}
    void StatusChanged(const std::string&) override {}
    void LineLost(const std::string& text) override;
    void LineBack() override;
    void RateSet(std::uint32_t, RateCause) override {}
    void ParitySet(int) override {}
    void StopBitsSet(int) override {}
    void Failure(FailureKind kind, const std::string& text) override;

private:
    ServiceEventLog& events;
    std::string portName;
    bool stopping = false;
};
