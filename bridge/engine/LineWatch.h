// The COM port's presence: a lost port is shown, traced and tried again until it is back.
#pragma once
#include "../../framework/Afx.h"
#include "../core/BridgeOptions.h"
#include "ConnectionTrace.h"
#include "EngineHost.h"
#include "EngineReport.h"
#include "SerialLine.h"

// Engine thread only. The port is tried again once a second while it is lost, and at once when
// the system says a COM port came.
class LineWatch {
public:
    LineWatch(SerialLine& serialLine, const BridgeOptions& bridgeOptions, ConnectionTrace& connectionTrace, EngineReport& engineReport,
              EngineHost& engineHost)
        : line(serialLine), options(bridgeOptions), trace(connectionTrace), report(engineReport), host(engineHost)
    {
    }

    // A COM port was chosen: without one no line runs, and nothing waits for it.
    static bool HasLine(const BridgeOptions& options);

    // The port went (or never opened): it is shown gone and waited for.
    void Gone(DWORD error);
    // WM_LINE_LOST from the worker; a notice from a line since stopped or reopened is stale.
    void OnLineLost(DWORD error, bool listening);
    // The retry timer.
    void Retry();
    // WM_DEVICECHANGE's event: a port came (the lost port is tried at once) or went (the worker
    // checks the port). Other events change nothing.
    void OnDeviceChange(WPARAM event, bool listening);
    // The line stops: a loss shown is taken back and nothing is tried any more.
    void Stop();

private:
    SerialLine& line;
    const BridgeOptions& options;
    ConnectionTrace& trace;
    EngineReport& report;
    EngineHost& host;
    bool lost = false;
};
