// Installs, reconfigures and removes the service "Vextor" with its event source, data folder and settings key.
#pragma once
#include "../../framework/Afx.h"

#include <string>

class ConsoleReport;
class ServiceHandle;

class ServiceInstaller {
public:
    static constexpr const wchar_t* SERVICE_NAME = L"Vextor";

    explicit ServiceInstaller(ConsoleReport& consoleReport) : report(consoleReport) {}

    // Idempotent: an existing service is brought to this configuration, never deleted and made
    // again (that would lose what an administrator set in the service manager, and a service
    // marked for deletion cannot be made again until it stops). The service is then started; a
    // start that fails is a note, not a failure: the installation is complete, and the service
    // manager starts the service at the next boot and after a crash. false: the reason was reported.
    bool Install();
    // Stops the service, waits (at most 10 s) for its process to end, deletes it and removes the
    // event source. The settings and the data folder stay. A missing service is a note.
    bool Uninstall();
    // Stops the service and waits (at most 10 s) for its process to end, so that its program file
    // can be replaced. A missing or stopped service is success.
    bool Stop();
    // Starts the service and waits (at most 10 s) until it runs. A running service is success.
    bool StartAndWait();

private:
    bool Fail(const std::wstring& what, DWORD error);
    // The service opened with `access`; true with no handle when it is not installed, false
    // (the reason reported) when it could not be asked.
    bool OpenExisting(DWORD access, ServiceHandle& service);
    bool ConfigureExtras(SC_HANDLE service);
    std::wstring ServiceSid();
    void Start(SC_HANDLE service);
    bool StopAndWait(SC_HANDLE service);

    ConsoleReport& report;
};
