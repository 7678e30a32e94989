// Writes the service's event log entries through the registered event source "Vextor".
#include "ServiceEventWriter.h"

#include <string>

#include "VextorEvents.h"

// The message table is built from VextorEvents.mc; its ids must be the ones the core writes.
static_assert(MSG_SERVICE_STARTED == ServiceEventLog::ID_STARTED && MSG_SERVICE_STOPPED == ServiceEventLog::ID_STOPPED);
static_assert(MSG_SOCKETS_FAILED == ServiceEventLog::FIRST_FAILURE_ID &&
              MSG_STATUS_PIPE_FAILED == ServiceEventLog::FIRST_FAILURE_ID + ServiceEventLog::FAILURE_COUNT - 1);
static_assert(MSG_SOCKETS_RECOVERED == ServiceEventLog::FIRST_RECOVERY_ID &&
              MSG_STATUS_PIPE_RECOVERED == ServiceEventLog::FIRST_RECOVERY_ID + ServiceEventLog::FAILURE_COUNT - 1);

namespace {
WORD TypeOf(ServiceEventLog::Type type)
{
    switch (type) {
    case ServiceEventLog::Type::ERROR_ENTRY: return EVENTLOG_ERROR_TYPE;
    case ServiceEventLog::Type::WARNING_ENTRY: return EVENTLOG_WARNING_TYPE;
    case ServiceEventLog::Type::INFORMATION_ENTRY: break;
    }
    return EVENTLOG_INFORMATION_TYPE;
}
}

ServiceEventWriter::ServiceEventWriter() : source(::RegisterEventSourceW(nullptr, L"Vextor")) {}

ServiceEventWriter::~ServiceEventWriter()
{
    if (source)
        ::DeregisterEventSource(source);
}

void ServiceEventWriter::Write(const ServiceEventLog::Entry& entry)
{
    if (!source)
        return;
    // The texts are the panel's, in the ANSI code page its boxes show them in.
    const int length = ::MultiByteToWideChar(CP_ACP, 0, entry.text.data(), static_cast<int>(entry.text.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, entry.text.data(), static_cast<int>(entry.text.size()), text.data(), length);
    const wchar_t* inserts[] = {text.c_str()};
    ::ReportEventW(source, TypeOf(entry.type), 0, entry.id, nullptr, 1, 0, inserts, nullptr);
}
