// Tells the running service that its settings changed: SERVICE_CONTROL_PARAMCHANGE, never a code of our own.
#include "ServiceSettingsSignal.h"

#include "ServiceHandle.h"
#include "ServiceInstaller.h"

namespace {
constexpr DWORD RETRY_MS = 250;
constexpr int ATTEMPTS = 40;  // 10 s: a start or stop in progress ends well within that
}

DWORD ServiceSettingsSignal::Send()
{
    const ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        return ::GetLastError();
    const ServiceHandle service(::OpenServiceW(manager.Get(), ServiceInstaller::SERVICE_NAME, SERVICE_PAUSE_CONTINUE));
    if (!service)
        return ::GetLastError();
    DWORD error = NO_ERROR;
    for (int attempt = 0; attempt < ATTEMPTS; ++attempt) {
        SERVICE_STATUS status{};
        if (::ControlService(service.Get(), SERVICE_CONTROL_PARAMCHANGE, &status))
            return NO_ERROR;
        error = ::GetLastError();
        if (error != ERROR_SERVICE_CANNOT_ACCEPT_CTRL)
            return error;
        ::Sleep(RETRY_MS);
    }
    return error;
}
