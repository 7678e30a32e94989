// Writes the service's event log entries through the registered event source "Vextor".
#pragma once
#include "../../framework/Afx.h"

#include "../core/ServiceEventLog.h"

// Under Wine ReportEvent only reaches a debug channel; the choices of what to write are the
// core's and are tested there.
class ServiceEventWriter : public ServiceEventLog::Writer {
public:
    ServiceEventWriter();
    ~ServiceEventWriter() override;
    ServiceEventWriter(const ServiceEventWriter&) = delete;
    ServiceEventWriter& operator=(const ServiceEventWriter&) = delete;

    void Write(const ServiceEventLog::Entry& entry) override;

private:
    HANDLE source;  // the service's thread only
};
