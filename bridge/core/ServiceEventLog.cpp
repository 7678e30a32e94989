// Which of the service's failures and changes of state reach the event log, with which id and type.
#include "ServiceEventLog.h"

void ServiceEventLog::Failed(Failure failure, const std::string& text)
{
    std::optional<std::string>& last = failing[Index(failure)];
    if (last && *last == text)
        return;
    last = text;
    writer.Write({FailureId(failure), FailureType(failure), text});
}

void ServiceEventLog::Recovered(Failure failure, const std::string& text)
{
    std::optional<std::string>& last = failing[Index(failure)];
    if (!last)
        return;
    last.reset();
    writer.Write({RecoveryId(failure), Type::INFORMATION_ENTRY, text});
}

// An error needs a person (the settings, the port's settings, the log's folder); a warning is a
// state the service waits out by itself, retrying.
ServiceEventLog::Type ServiceEventLog::FailureType(Failure failure)
{
    switch (failure) {
    case Failure::LISTENER:
    case Failure::SERIAL_PORT:
    case Failure::LINE_LOST:
    case Failure::TRACE_FILE:
    case Failure::STATUS_PIPE:
        return Type::WARNING_ENTRY;
    case Failure::SOCKETS:
    case Failure::SETTINGS:
    case Failure::SERIAL_SETTINGS:
    case Failure::LOG_FILE:
    case Failure::UNEXPECTED:
        break;
    }
    return Type::ERROR_ENTRY;
}
