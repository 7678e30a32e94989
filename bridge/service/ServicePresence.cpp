// Whether the service "Vextor" is installed and may run: then it holds the line, and a panel leaves the line alone.
#include "ServicePresence.h"

#include <vector>

#include "ServiceHandle.h"
#include "ServiceInstaller.h"

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
    DWORD needed = 0;
    ::QueryServiceConfigW(service.Get(), nullptr, 0, &needed);
    if (needed < sizeof(QUERY_SERVICE_CONFIGW))
        return true;
    std::vector<QUERY_SERVICE_CONFIGW> buffer(needed / sizeof(QUERY_SERVICE_CONFIGW) + 1);
    if (!::QueryServiceConfigW(service.Get(), buffer.data(), static_cast<DWORD>(buffer.size() * sizeof buffer[0]), &needed))
        return true;
    return buffer[0].dwStartType != SERVICE_DISABLED;
}
