// The panel's line to the running service: asks the service manager, opens the status pipe, checks who serves it, reads states.
#pragma once
#include "../../framework/Afx.h"

#include <mutex>
#include <thread>

#include "../../framework/CHandle.h"
#include "../core/ServiceStatus.h"

// Posted to the panel whenever what the link knows changes; the panel then asks Latest().
constexpr UINT WM_SERVICE_LINK = WM_APP + 41;

// A thread of its own: opening, checking and reading the pipe never hold the panel's window.
// When the service is not running, or its pipe breaks, is missing or is not the service's, the
// thread says so and tries again once a second. It only reads: the panel never takes the line.
class ServiceStatusLink {
public:
    enum class Link {
        CONNECTING,   // nothing known yet
        CONNECTED,    // the service's own pipe: `status` is its state
        NOT_RUNNING,  // the service manager's state says why (`serviceState`)
        NO_SERVICE,   // the service is not installed any more
        NO_PIPE,      // the service runs, but its pipe cannot be opened
        UNTRUSTED,    // the pipe of that name is served by another process than the service's
        REFUSED,      // the pipe speaks another version or something else altogether
    };
    struct Snapshot {
        Link link = Link::CONNECTING;
        DWORD serviceState = 0;  // SERVICE_RUNNING and the others; 0 unknown
        ServiceStatus status;
        bool operator==(const Snapshot&) const = default;
    };

    explicit ServiceStatusLink(HWND panelWindow) : window(panelWindow) {}
    ~ServiceStatusLink();
    ServiceStatusLink(const ServiceStatusLink&) = delete;
    ServiceStatusLink& operator=(const ServiceStatusLink&) = delete;

    void Start();
    // The window's thread: what the link knows now.
    Snapshot Latest();

private:
    void Run();
    // Reads states from a trusted pipe until it breaks or the link ends; false when it ended.
    bool Read(HANDLE pipe, Snapshot& known);
    void Tell(const Snapshot& snapshot);
    bool Quitting(DWORD waitMs) const;

    HWND window;  // fixed; the thread only posts to it

    // The link's thread writes, the window's thread reads, under `lock`.
    std::mutex lock;
    Snapshot latest;

    CHandle quit;  // made by Start, set by the destructor
    std::thread thread;
};
