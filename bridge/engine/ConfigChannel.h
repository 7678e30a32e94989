// The configuration channel: speed records read from its client as fast as the line applies them, and what came of them.
#pragma once
#include <functional>

#include "../core/BridgeOptions.h"
#include "../core/ConfigRecordStream.h"
#include "../core/LineCommand.h"
#include "ConnectionTrace.h"
#include "EngineReport.h"
#include "SerialLine.h"
#include "TrafficLog.h"

class AdmissionGate;

// Engine thread only.
class ConfigChannel {
public:
    ConfigChannel(AdmissionGate& admissionGate, SerialLine& serialLine, TrafficLog& trafficLog, ConnectionTrace& connectionTrace, EngineReport& engineReport,
                  const BridgeOptions& bridgeOptions)
        : gate(admissionGate), line(serialLine), log(trafficLog), trace(connectionTrace), report(engineReport),
          options(bridgeOptions)
    {
    }

    // To the line's queue of changes; false while it is full. Set by the engine before Listen.
    std::function<bool(const LineCommand&)> queueToLine;

    // The client's bytes are there (or it closed).
    void Receive();
    // Line changes were applied: records that waited for room in the line's queue go on.
    void GoOn();
    // The client went: an unfinished record would shift every record of the next one.
    void DropPartialRecord();
    // The channel ends: bytes of a record are kept no longer.
    void Clear() { records.Clear(); }
    // A speed record was applied: logged, traced, and the face follows the line.
    void OnResult(const LineResult& result);

private:
    void QueueRecords();

    AdmissionGate& gate;
    SerialLine& line;
    TrafficLog& log;
    ConnectionTrace& trace;
    EngineReport& report;
    const BridgeOptions& options;
    ConfigRecordStream records;
};
