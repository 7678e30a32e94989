// The panel's line to the running service: asks the service manager, opens the status pipe, checks who serves it, reads states.
#include "ServiceStatusLink.h"

#include <winsvc.h>

#include "../core/ServiceStatusDecoder.h"
#include "../service/ServicePresence.h"
#include "../service/StatusPipeServer.h"

namespace {
constexpr DWORD RETRY_MS = 1000;
constexpr DWORD READ_SIZE = 4096;
}

ServiceStatusLink::~ServiceStatusLink()
{
    if (thread.joinable()) {
        ::SetEvent(quit.Get());
        thread.join();
    }
}

void ServiceStatusLink::Start()
{
    quit.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (quit.IsValid())
        thread = std::thread([this] { Run(); });
}

ServiceStatusLink::Snapshot ServiceStatusLink::Latest()
{
    std::lock_guard guard(lock);
    return latest;
}

void ServiceStatusLink::Tell(const Snapshot& snapshot)
{
    {
        std::lock_guard guard(lock);
        if (latest == snapshot)
            return;
        latest = snapshot;
    }
    ::PostMessageA(window, WM_SERVICE_LINK, 0, 0);
}

bool ServiceStatusLink::Quitting(DWORD waitMs) const
{
    return ::WaitForSingleObject(quit.Get(), waitMs) != WAIT_TIMEOUT;
}

void ServiceStatusLink::Run()
{
    Snapshot known;
    bool askedAgain = false;
    for (;;) {
        const ServicePresence::State service = ServicePresence::Now();
        known.serviceState = service.state;
        bool broke = false;
        if (!service.installed) {
            known.link = Link::NO_SERVICE;
        } else if (service.state != SERVICE_RUNNING) {
            known.link = Link::NOT_RUNNING;
        } else {
            // Identification only: a pipe served by someone else learns nothing it could use of this user.
            CHandle pipe;
            pipe.Reset(::CreateFileW(StatusPipeServer::PIPE_NAME, GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
            ULONG server = 0;
            if (!pipe.IsValid()) {
                known.link = Link::NO_PIPE;
            } else if (!::GetNamedPipeServerProcessId(pipe.Get(), &server) || server != service.processId) {
                known.link = Link::UNTRUSTED;
            } else {
                if (!Read(pipe.Get(), known))
                    return;
                broke = known.link == Link::NO_PIPE;
            }
        }
        // A pipe that broke is most often a service that is stopping: the service manager is
        // asked again at once (once), so that the panel says that rather than a lost link.
        if (broke && !askedAgain) {
            askedAgain = true;
            continue;
        }
        askedAgain = false;
        if (known.link != Link::CONNECTED)
            known.status = {};
        Tell(known);
        if (Quitting(RETRY_MS))
            return;
    }
}

bool ServiceStatusLink::Read(HANDLE pipe, Snapshot& known)
{
    CHandle event;
    event.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!event.IsValid()) {
        known.link = Link::NO_PIPE;
        return true;
    }
    ServiceStatusDecoder decoder;
    char buffer[READ_SIZE];
    for (;;) {
        OVERLAPPED overlapped{};
        overlapped.hEvent = event.Get();
        DWORD count = 0;
        if (!::ReadFile(pipe, buffer, READ_SIZE, nullptr, &overlapped) && ::GetLastError() != ERROR_IO_PENDING) {
            known.link = Link::NO_PIPE;  // broken: the service is going, or went
            return true;
        }
        const HANDLE waits[] = {event.Get(), quit.Get()};
        if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
            ::CancelIoEx(pipe, &overlapped);
            ::GetOverlappedResult(pipe, &overlapped, &count, TRUE);
            return false;
        }
        if (!::GetOverlappedResult(pipe, &overlapped, &count, FALSE)) {
            known.link = Link::NO_PIPE;
            return true;
        }
        if (const auto status = decoder.Feed(buffer, count)) {
            known.link = Link::CONNECTED;
            known.status = *status;
            Tell(known);
        }
        if (decoder.GetState() == ServiceStatusDecoder::State::BROKEN) {
            known.link = Link::REFUSED;
            return true;
        }
    }
}
