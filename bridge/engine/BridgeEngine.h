// The bridge itself: starts and stops its parts (listeners, relay, configuration channel, line watch) on its own host window.
#pragma once
#include <optional>

#include "../core/BridgeOptions.h"
#include "../core/ListenCheck.h"
#include "AdmissionGate.h"
#include "ClientChunk.h"
#include "ComPortClient.h"
#include "ConfigChannel.h"
#include "ConnectionTrace.h"
#include "DataRelay.h"
#include "EngineHost.h"
#include "EngineReport.h"
#include "IEngineEvents.h"
#include "LineWatch.h"
#include "SerialLine.h"
#include "TrafficLog.h"

// Runs on the thread that creates it, whose message loop serves its host window; that thread
// never waits for the serial worker but at Stop, and never for the face. The worker relays the
// exchange's bytes to the data client on its own.
class BridgeEngine {
public:
    explicit BridgeEngine(IEngineEvents& events);
    BridgeEngine(const BridgeEngine&) = delete;
    BridgeEngine& operator=(const BridgeEngine&) = delete;

    // In this order: the listeners, the connection trace, the listening stage, the log link, the
    // log file, the COM port, each stage told as it is reached. The options passed Listen's
    // checks. A log file that cannot be made throws, and the COM port then stays closed.
    // A listener that could not be made comes back as the field of its port and the box's text;
    // nothing is left open then.
    std::optional<ListenCheck::Failure> Start(const BridgeOptions& startOptions);
    // Everything back to idle; the configuration records' bytes are kept.
    void Stop();
    // The program ends: the line, the log and the data side; the configuration side closes with the engine.
    void Shutdown();

    bool Listening() const { return listening; }

private:
    bool OnHostMessage(UINT message, WPARAM wParam, LRESULT& result);
    void OpenTrace();
    void OpenSerialPort(int portNumber);
    // To the line's queue; false while it is full. Without a COM port it is answered at once.
    bool QueueToLine(const LineCommand& change);
    void OnLineResult();
    void ShowLineResult(const LineResult& result);

    // Engine thread only, but where said.
    BridgeOptions options;
    bool listening = false;
    EngineHost host;
    EngineReport report;  // takes failures from any thread

    // Written by the engine's thread and, for a failing log file, by the worker; it has its own lock.
    ConnectionTrace trace;

    // Shared with the serial worker by their own contracts; all of them outlive the line.
    TrafficLog log;
    ClientChunk clientChunk;
    SerialLine line{clientChunk, log};

    // The parts, each with one job; they know one another by reference.
    LineWatch watch{line, options, trace, report, host};
    AdmissionGate gate{line, trace, report, relay, config, comPort, host};
    ComPortClient comPort{line, host, report};
    DataRelay relay{gate, comPort, line, clientChunk, log, host, options};
    ConfigChannel config{gate, line, log, trace, report, options};
};
