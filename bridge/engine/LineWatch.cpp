// The COM port's presence: a lost port is shown, traced and tried again until it is back.
#include "LineWatch.h"

#include <dbt.h>

#include "BridgeMessages.h"
#include "../core/ComPortList.h"
#include "../core/ConnectionTraceFormat.h"

bool LineWatch::HasLine(const BridgeOptions& options)
{
    return options.comPort >= 1 && options.comPort <= ComPortList::MAX_PORT;
}

void LineWatch::OnLineLost(DWORD error, bool listening)
{
    if (listening && line.Running() && line.Lost() && !lost)
        Gone(error);
}

void LineWatch::Gone(DWORD error)
{
    lost = true;
    line.CloseLostPort();
    const std::string name = ComPortList::Name(line.PortNumber());
    report.LineGone(name + " odłączony");
    trace.Write(ConnectionTraceFormat::LineGone(name, error));
    // The device's arrival reopens it at once; this is for the drivers and systems that tell none.
    host.SetTimer(LINE_RETRY_TIMER, LINE_RETRY_MS);
}

void LineWatch::Retry()
{
    if (!lost || !line.Reopen(options.serial))
        return;
    lost = false;
    host.KillTimer(LINE_RETRY_TIMER);
    trace.Write(ConnectionTraceFormat::LineBack(ComPortList::Name(line.PortNumber()), line.Rate()));
    report.LineBack();
}

void LineWatch::OnDeviceChange(WPARAM event, bool listening)
{
    if (!listening || !line.Running())
        return;
    switch (event) {
    case DBT_DEVICEARRIVAL:
    case DBT_DEVNODES_CHANGED:
        Retry();
        break;
    case DBT_DEVICEREMOVECOMPLETE:
        if (!lost)
            line.CheckPort();
        break;
    default:
        break;
    }
}

void LineWatch::Stop()
{
    if (!lost)
        return;
    lost = false;
    host.KillTimer(LINE_RETRY_TIMER);
    report.LineStopped();
}
