// The service's face of the engine: what the panel would show in a box goes to the event log, in the same words.
#pragma once
#include <string>

#include "../core/ServiceEventLog.h"
#include "../core/ServiceStatusBoard.h"
#include "../engine/IEngineEvents.h"

// Service thread only, as the engine's calls are. Only changes of state are written: the client's
// comings and goings and the line's rate changes are the traffic log's and the trace's business.
// All of it goes to the status board, which the panel reads.
class ServiceEngineView : public IEngineEvents {
public:
    ServiceEngineView(ServiceEventLog& eventLog, ServiceStatusBoard& statusBoard) : events(eventLog), board(statusBoard) {}

    // The COM port the line runs on, named when it comes back.
    void SetPortName(const std::string& name) { portName = name; }
    // The engine is being stopped: a loss it takes back is no recovery.
    void Stopping(bool value) { stopping = value; }

    void StageReached(ListenStage) override {}
    void StatusChanged(const std::string& text) override { board.Status(text); }
    void LineLost(const std::string& text) override;
    void LineBack() override;
    void RateSet(std::uint32_t bitsPerSecond, RateCause) override { board.Rate(static_cast<int>(bitsPerSecond)); }
    void ParitySet(int parityCode) override { board.Parity(parityCode); }
    void StopBitsSet(int stopBitsCode) override { board.StopBits(stopBitsCode); }
    void Failure(FailureKind kind, const std::string& text) override;

private:
    ServiceEventLog& events;
    ServiceStatusBoard& board;
    std::string portName;
    bool stopping = false;
};
