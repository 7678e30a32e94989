// The service manager's side of `vextor.exe --service`: the dispatcher, ServiceMain, the status reports and the control handler.
#include "ServiceEntry.h"

#include <mutex>
#include <string>

#include "../../framework/CHandle.h"
#include "ServiceInstaller.h"
#include "ServiceRun.h"

namespace {
// How long the service manager is told to wait for the next report of a pending state. The
// service's thread reports RUNNING once the engine's host is up, and STOPPED once the engine stopped.
constexpr DWORD START_WAIT_MS = 10000;
constexpr DWORD STOP_WAIT_MS = 2000;

// Reported from the service's thread and from the control handler's: under `statusLock`.
std::mutex statusLock;
SERVICE_STATUS_HANDLE statusHandle = nullptr;
SERVICE_STATUS status{};

// Made before the dispatcher starts and closed after it returned: both threads only use them between.
CHandle stopEvent;
CHandle settingsEvent;  // auto-reset: the settings changed, apply them
}

DWORD ServiceEntry::Dispatch()
{
    stopEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    settingsEvent.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!stopEvent.IsValid() || !settingsEvent.IsValid())
        return ::GetLastError();
    std::wstring name = ServiceInstaller::SERVICE_NAME;
    const SERVICE_TABLE_ENTRYW table[] = {{name.data(), ServiceMain}, {nullptr, nullptr}};
    const DWORD error = ::StartServiceCtrlDispatcherW(table) ? NO_ERROR : ::GetLastError();
    stopEvent.Close();
    settingsEvent.Close();
    return error;
}

void WINAPI ServiceEntry::ServiceMain(DWORD, LPWSTR*)
{
    const SERVICE_STATUS_HANDLE handle = ::RegisterServiceCtrlHandlerExW(ServiceInstaller::SERVICE_NAME, Control, nullptr);
    if (!handle)
        return;
    {
        std::lock_guard guard(statusLock);
        statusHandle = handle;
        status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    }
    Report(SERVICE_START_PENDING);
    ServiceRun run(stopEvent.Get(), settingsEvent.Get());
    const ServiceRun::Exit exit = run.Run([] { Report(SERVICE_RUNNING); });
    Report(SERVICE_STOPPED, exit.win32ExitCode, exit.serviceExitCode);
}

DWORD WINAPI ServiceEntry::Control(DWORD control, DWORD, LPVOID, LPVOID)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
    case SERVICE_CONTROL_SHUTDOWN: {
        {
            std::lock_guard guard(statusLock);
            // Told once; a stop that came after the run ended has nothing to stop.
            if (status.dwCurrentState != SERVICE_RUNNING)
                return NO_ERROR;
        }
        Report(SERVICE_STOP_PENDING);
        ::SetEvent(stopEvent.Get());
        return NO_ERROR;
    }
    case SERVICE_CONTROL_PARAMCHANGE:
        // Only a signal: the service's thread reads the settings and applies them.
        ::SetEvent(settingsEvent.Get());
        return NO_ERROR;
    case SERVICE_CONTROL_INTERROGATE:
        return NO_ERROR;
    default:
        return ERROR_CALL_NOT_IMPLEMENTED;
    }
}

void ServiceEntry::Report(DWORD state, DWORD win32ExitCode, DWORD serviceExitCode)
{
    std::lock_guard guard(statusLock);
    const bool pending = state == SERVICE_START_PENDING || state == SERVICE_STOP_PENDING;
    status.dwCurrentState = state;
    status.dwControlsAccepted =
        state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN | SERVICE_ACCEPT_PARAMCHANGE : 0;
    status.dwWin32ExitCode = win32ExitCode;
    status.dwServiceSpecificExitCode = serviceExitCode;
    status.dwCheckPoint = pending ? status.dwCheckPoint + 1 : 0;
    status.dwWaitHint = state == SERVICE_START_PENDING ? START_WAIT_MS : state == SERVICE_STOP_PENDING ? STOP_WAIT_MS : 0;
    ::SetServiceStatus(statusHandle, &status);
}
