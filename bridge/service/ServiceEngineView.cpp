// The service's face of the engine: what the panel would show in a box goes to the event log, in the same words.
#include "ServiceEngineView.h"

using EventClass = ServiceEventLog::Failure;

void ServiceEngineView::Failure(FailureKind kind, const std::string& text)
{
    switch (kind) {
    case FailureKind::SERIAL_PORT: events.Failed(EventClass::SERIAL_PORT, text); return;
    case FailureKind::SERIAL_SETTINGS:
        // A port that did not open cannot take settings: it gets them when it comes.
        if (!events.Failing(EventClass::SERIAL_PORT))
            events.Failed(EventClass::SERIAL_SETTINGS, text);
        return;
    case FailureKind::LOG_FILE: events.Failed(EventClass::LOG_FILE, text); return;
    case FailureKind::TRACE_FILE: events.Failed(EventClass::TRACE_FILE, text); return;
    case FailureKind::OTHER: break;
    }
    events.Failed(EventClass::UNEXPECTED, text);
}

void ServiceEngineView::LineLost(const std::string& text)
{
    board.LineLost(true);
    // A port that never opened is waited for as a lost one; its failure was written already.
    if (!events.Failing(EventClass::SERIAL_PORT))
        events.Failed(EventClass::LINE_LOST, text);
}

void ServiceEngineView::LineBack()
{
    board.LineLost(false);
    if (stopping)
        return;
    events.Recovered(EventClass::SERIAL_PORT, portName);
    events.Recovered(EventClass::LINE_LOST, portName);
}
