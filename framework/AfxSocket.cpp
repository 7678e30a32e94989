// Start-up and release of Windows Sockets 1.1 for the framework's sockets.
#include "AfxSocket.h"

#include <cstdlib>

#include "Afx.h"
#include "CAsyncSocket.h"

namespace {
bool socketsStarted = false;  // UI thread only

// Test seam: AFX_TEST_WINSOCK_REQUEST="2.2" asks for another version, which the
// exact-version check then refuses, so the failure path runs on a healthy system.
WORD RequestedVersion()
{
    const char* request = std::getenv("AFX_TEST_WINSOCK_REQUEST");
    int major = 1, minor = 1;
    if (request && std::sscanf(request, "%d.%d", &major, &minor) == 2)
        return MAKEWORD(major, minor);
    return MAKEWORD(1, 1);
}
}

bool AfxSocketInit()
{
    if (socketsStarted)
        return true;
    WSADATA data{};
    if (::WSAStartup(RequestedVersion(), &data) != 0)
        return false;
    if (data.wVersion != MAKEWORD(1, 1)) {
        ::WSACleanup();
        return false;
    }
    socketsStarted = true;
    std::atexit(AfxSocketTerm);
    return true;
}

void AfxSocketTerm()
{
    if (socketsStarted) {
        socketsStarted = false;
        CAsyncSocket::TermThread();
        ::WSACleanup();
    }
}
