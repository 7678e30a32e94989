// What the engine tells its face: the client's status (unless the COM port's loss is shown), the line's settings, failures.
#pragma once
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <utility>

#include "EngineHost.h"
#include "IEngineEvents.h"

class EngineReport {
public:
    // The status while no data client is connected.
    static constexpr const char* NO_CLIENT_TEXT = "(brak połączenia)";

    EngineReport(IEngineEvents& engineEvents, EngineHost& engineHost) : events(engineEvents), host(engineHost) {}

    // Listen begins: no client, the line not shown lost.
    void Restart();
    void StageReached(ListenStage stage) { events.StageReached(stage); }
    // The data client's status; while the COM port is shown gone it waits for the port's return.
    void ShowClient(const std::string& status);
    void LineGone(const std::string& text);
    // The port is back: the client's status is shown again.
    void LineBack();
    // The line stopped while shown lost: only the loss is taken back.
    void LineStopped();
    void RateSet(std::uint32_t bitsPerSecond, RateCause cause) { events.RateSet(bitsPerSecond, cause); }
    void ParitySet(int parityCode) { events.ParitySet(parityCode); }
    void StopBitsSet(int stopBitsCode) { events.StopBitsSet(stopBitsCode); }
    // A failure on the engine's thread: told at once. Without a kind it is FailureKind::OTHER.
    void Failure(FailureKind kind, const std::string& text) { events.Failure(kind, text); }
    void Failure(const std::string& text) { Failure(FailureKind::OTHER, text); }
    // A failure on any thread (the log file on the serial worker, say): handed to the engine's
    // thread, which tells it on WM_LOG_FAILURE.
    void FailureLater(FailureKind kind, const std::string& text);
    void FailureLater(const std::string& text) { FailureLater(FailureKind::OTHER, text); }
    // WM_LOG_FAILURE: the failures that waited are told, in the order they came.
    void OnLogFailure();

private:
    // Engine thread only.
    IEngineEvents& events;
    EngineHost& host;
    bool lossShown = false;
    std::string clientStatus;

    // Any thread, under failureLock.
    std::mutex failureLock;
    std::deque<std::pair<FailureKind, std::string>> failures;
};
