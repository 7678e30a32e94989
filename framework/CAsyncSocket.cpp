// A non-blocking Windows Sockets 1.1 socket whose notifications arrive as window messages on its creating thread.
#include "CAsyncSocket.h"

#include <map>

#include <utility>

namespace {
// Every registration of a socket gets a notification message of its own from this range. Windows
// may still deliver notifications for a socket after it was closed, and the next socket can get
// the same handle value; a queued notification that carries another registration's message is
// stale and goes nowhere, so it can never reach the socket that now has the handle.
constexpr UINT NOTIFY_FIRST = WM_APP + 0x100;
constexpr UINT NOTIFY_COUNT = 0x3E00;
constexpr const char* NOTIFY_CLASS = "AfxSocketNotifySink";

struct Registration {
    CAsyncSocket* socket;
    UINT message;
};

// Each thread has its own hidden window and table of sockets; only that thread touches them.
struct ThreadSockets {
    HWND window = nullptr;
    std::map<SOCKET, Registration> sockets;
    UINT registrations = 0;
    std::function<void(const std::exception&)> failureHook;
};
// A plain pointer: a thread_local object with a destructor would pin a library in memory
// until the thread ends, so that unloading it would never run its exit work.
thread_local ThreadSockets* threadState = nullptr;

ThreadSockets& Mine()
{
    if (!threadState)
        threadState = new ThreadSockets();
    return *threadState;
}

}

void CAsyncSocket::SetFailureHook(std::function<void(const std::exception&)> hook)
{
    Mine().failureHook = std::move(hook);
}

void CAsyncSocket::TermThread()
{
    if (threadState) {
        if (threadState->window)
            ::DestroyWindow(threadState->window);
        delete threadState;
        threadState = nullptr;
    }
    ::UnregisterClassA(NOTIFY_CLASS, AfxCodeModule());
}

LRESULT CALLBACK CAsyncSocket::NotifyWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message < NOTIFY_FIRST || message >= NOTIFY_FIRST + NOTIFY_COUNT)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    // A handler that throws is abandoned and reported; the program goes on.
    try {
        Dispatch(static_cast<SOCKET>(wParam), message, lParam);
    } catch (const std::exception& e) {
        if (threadState && threadState->failureHook)
            threadState->failureHook(e);
    }
    return 0;
}

void CAsyncSocket::Dispatch(SOCKET socket, UINT message, LPARAM lParam)
{
    ThreadSockets& mine = Mine();
    auto found = mine.sockets.find(socket);
    if (found == mine.sockets.end() || found->second.message != message)
        return;  // closed or detached since the notification was posted
    CAsyncSocket* target = found->second.socket;
    const int error = WSAGETSELECTERROR(lParam);
    switch (WSAGETSELECTEVENT(lParam)) {
    case FD_READ: {
        // A read notification that finds nothing to read is stale (the data was taken already).
        u_long waiting = 0;
        if (error == 0 && ::ioctlsocket(socket, FIONREAD, &waiting) == 0 && waiting == 0)
            return;
        target->OnReceive(error);
        break;
    }
    case FD_WRITE: target->OnSend(error); break;
    case FD_OOB: target->OnOutOfBandData(error); break;
    case FD_ACCEPT: target->OnAccept(error); break;
    case FD_CONNECT: target->OnConnect(error); break;
    case FD_CLOSE: target->OnClose(error); break;
    default: break;
    }
}

CAsyncSocket::~CAsyncSocket()
{
    Close();
}

bool CAsyncSocket::Attach(SOCKET socket, long events)
{
    // Ours from here, so that a caller's Close after a failure below closes it too.
    m_hSocket = socket;
    ThreadSockets& mine = Mine();
    if (!mine.window) {
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = NotifyWindowProc;
        windowClass.hInstance = AfxCodeModule();  // the class belongs to the module of its procedure
        windowClass.lpszClassName = NOTIFY_CLASS;
        ::RegisterClassA(&windowClass);  // fails harmlessly when another thread registered it
        mine.window = ::CreateWindowExA(0, NOTIFY_CLASS, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        windowClass.hInstance, nullptr);
        if (!mine.window)
            return false;
    }
    const UINT message = NOTIFY_FIRST + mine.registrations++ % NOTIFY_COUNT;
    mine.sockets[socket] = Registration{this, message};
    return ::WSAAsyncSelect(socket, mine.window, message, events) == 0;
}

bool CAsyncSocket::Create(UINT port, int type, long events, const char* address)
{
    Close();
    SOCKET s = ::socket(AF_INET, type, 0);
    if (s == INVALID_SOCKET)
        return false;
    if (!Attach(s, events)) {
        Close();
        return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = ::htons(static_cast<u_short>(port));
    local.sin_addr.s_addr = address ? ::inet_addr(address) : INADDR_ANY;
    if (::bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        const int error = ::WSAGetLastError();
        Close();
        ::WSASetLastError(error);
        return false;
    }
    return true;
}

bool CAsyncSocket::Listen(int backlog)
{
    return ::listen(m_hSocket, backlog) == 0;
}

bool CAsyncSocket::Accept(CAsyncSocket& connected)
{
    SOCKET s = ::accept(m_hSocket, nullptr, nullptr);
    if (s == INVALID_SOCKET)
        return false;
    connected.Close();
    if (!connected.Attach(s, ALL_EVENTS)) {
        connected.Close();
        return false;
    }
    return true;
}

SOCKET CAsyncSocket::AcceptHandle(sockaddr_in& peer)
{
    int length = sizeof peer;
    return ::accept(m_hSocket, reinterpret_cast<sockaddr*>(&peer), &length);
}

bool CAsyncSocket::Adopt(SOCKET handle)
{
    Close();
    if (!Attach(handle, ALL_EVENTS)) {
        Close();
        return false;
    }
    return true;
}

bool CAsyncSocket::Connect(const char* host, UINT port)
{
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = ::htons(static_cast<u_short>(port));
    remote.sin_addr.s_addr = ::inet_addr(host);
    if (remote.sin_addr.s_addr == INADDR_NONE) {
        hostent* entry = ::gethostbyname(host);
        if (!entry || !entry->h_addr_list[0]) {
            ::WSASetLastError(WSAEINVAL);
            return false;
        }
        remote.sin_addr.s_addr = reinterpret_cast<in_addr*>(entry->h_addr_list[0])->s_addr;
    }
    return ::connect(m_hSocket, reinterpret_cast<sockaddr*>(&remote), sizeof remote) == 0;
}

int CAsyncSocket::Receive(void* buffer, int length, int flags)
{
    return ::recv(m_hSocket, static_cast<char*>(buffer), length, flags);
}

int CAsyncSocket::Send(const void* buffer, int length, int flags)
{
    return ::send(m_hSocket, static_cast<const char*>(buffer), length, flags);
}

SOCKET CAsyncSocket::Detach()
{
    SOCKET s = m_hSocket;
    if (s != INVALID_SOCKET) {
        ThreadSockets& mine = Mine();
        if (mine.window)
            ::WSAAsyncSelect(s, mine.window, 0, 0);
        mine.sockets.erase(s);
    }
    m_hSocket = INVALID_SOCKET;
    return s;
}

void CAsyncSocket::Close()
{
    SOCKET s = Detach();
    if (s != INVALID_SOCKET)
        ::closesocket(s);
}

bool CAsyncSocket::GetSockName(std::string& address, UINT& port) const
{
    sockaddr_in local{};
    int length = sizeof local;
    if (::getsockname(m_hSocket, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return false;
    address = ::inet_ntoa(local.sin_addr);
    port = ::ntohs(local.sin_port);
    return true;
}
