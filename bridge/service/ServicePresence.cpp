// What the service manager says of the service "Vextor": whether it holds the line, its state and process, its program.
#include "ServicePresence.h"

#include <vector>

#include "../core/ImagePathProgram.h"
#include "ServiceHandle.h"
#include "ServiceInstaller.h"

namespace {
// The service's configuration, read with a user's rights; empty when it cannot be read.
std::vector<QUERY_SERVICE_CONFIGW> Configuration(SC_HANDLE service)
{
    DWORD needed = 0;
    ::QueryServiceConfigW(service, nullptr, 0, &needed);
    if (needed < sizeof(QUERY_SERVICE_CONFIGW))
        return {};
    std::vector<QUERY_SERVICE_CONFIGW> buffer(needed / sizeof(QUERY_SERVICE_CONFIGW) + 1);
    if (!::QueryServiceConfigW(service, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof buffer[0]), &needed))
        return {};
    return buffer;
}
}

bool ServicePresence::HoldsLine()
{
    const ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    // No service manager to ask (it is not running yet): the panel runs the line as it always has.
    if (!manager)
        return false;
    {
        const ServiceHandle service(::OpenServiceW(manager.Get(), ServiceInstaller::SERVICE_NAME, SERVICE_QUERY_STATUS));
        if (!service)
            return ::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
    }
    // The start type needs the right to read the configuration, which users have by default; a
    // service whose configuration may not be read is taken as one that runs.
    const ServiceHandle service(::OpenServiceW(manager.Get(), ServiceInstaller::SERVICE_NAME, SERVICE_QUERY_CONFIG));
    if (!service)
        return true;
    const auto configuration = Configuration(service.Get());
    return configuration.empty() || configuration[0].dwStartType != SERVICE_DISABLED;
}

ServicePresence::State ServicePresence::Now()
{
    State result;
    const ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        return result;
    const ServiceHandle service(::OpenServiceW(manager.Get(), ServiceInstaller::SERVICE_NAME, SERVICE_QUERY_STATUS));
    if (!service) {
        result.installed = ::GetLastError() != ERROR_SERVICE_DOES_NOT_EXIST;
        return result;
    }
    result.installed = true;
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (::QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                               &needed)) {
        result.state = status.dwCurrentState;
        result.processId = status.dwProcessId;
    }
    return result;
}

std::wstring ServicePresence::Program()
{
    const ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        return {};
    const ServiceHandle service(::OpenServiceW(manager.Get(), ServiceInstaller::SERVICE_NAME, SERVICE_QUERY_CONFIG));
    if (!service)
        return {};
    const auto configuration = Configuration(service.Get());
    if (configuration.empty() || !configuration[0].lpBinaryPathName)
        return {};
    return ImagePathProgram::Of(configuration[0].lpBinaryPathName);
}
