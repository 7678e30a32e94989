// Start-up and release of Windows Sockets 1.1 for the framework's sockets.
#include "AfxSocket.h"

#include <cstdlib>

#include "Afx.h"
#include "CAsyncSocket.h"

// The version asked for. Only a test build asks for another one, to see the refusal that
// follows; the programs as shipped always ask for 1.1.
#ifndef AFX_WINSOCK_REQUEST
#define AFX_WINSOCK_REQUEST MAKEWORD(1, 1)
#endif

namespace {
bool socketsStarted = false;  // UI thread only
}

bool AfxSocketInit()
{
    if (socketsStarted)
        return true;
    WSADATA data{};
    if (::WSAStartup(AFX_WINSOCK_REQUEST, &data) != 0)
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
