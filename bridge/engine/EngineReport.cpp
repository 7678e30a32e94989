// What the engine tells its face: the client's status (unless the COM port's loss is shown), the line's settings, failures.
#include "EngineReport.h"

#include "BridgeMessages.h"

void EngineReport::Restart()
{
    lossShown = false;
    clientStatus = NO_CLIENT_TEXT;
}

void EngineReport::ShowClient(const std::string& status)
{
    clientStatus = status;
    if (!lossShown)
        events.StatusChanged(status);
}

void EngineReport::LineGone(const std::string& text)
{
    lossShown = true;
    events.StatusChanged(text);
    events.LineLost(text);
}

void EngineReport::LineBack()
{
    lossShown = false;
    events.LineBack();
    events.StatusChanged(clientStatus);
}

void EngineReport::LineStopped()
{
    lossShown = false;
    events.LineBack();
}

void EngineReport::FailureLater(FailureKind kind, const std::string& text)
{
    {
        std::lock_guard guard(failureLock);
        failures.emplace_back(kind, text);
    }
    host.Post(WM_LOG_FAILURE);
}

void EngineReport::OnLogFailure()
{
    std::deque<std::pair<FailureKind, std::string>> taken;
    {
        std::lock_guard guard(failureLock);
        taken.swap(failures);
    }
    for (const auto& [kind, text] : taken)
        events.Failure(kind, text);
}
