// The bridge's socket: its role, its connection state and the owner its notifications go to.
#include "CBridgeSocket.h"

#include <mstcpip.h>

namespace {
// The first probe after a minute of silence, then one every ten seconds; the system gives up after
// its count of unanswered probes (ten on Windows, nine on Linux under Wine).
constexpr ULONG KEEPALIVE_IDLE_MS = 60'000;
constexpr ULONG KEEPALIVE_INTERVAL_MS = 10'000;
}

void CBridgeSocket::OnReceive(int)
{
    if (owner)
        owner->OnSocketReceive(*this);
}

void CBridgeSocket::OnSend(int)
{
    if (owner)
        owner->OnSocketSend(*this);
}

void CBridgeSocket::OnAccept(int)
{
    if (owner)
        owner->OnSocketAccept(*this);
}

void CBridgeSocket::OnClose(int)
{
    if (owner)
        owner->OnSocketClose(*this);
}

void CBridgeSocket::CloseSocket(SOCKET handle, bool reset)
{
    if (handle == INVALID_SOCKET)
        return;
    if (reset) {
        const linger abortive{1, 0};
        ::setsockopt(handle, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive), sizeof abortive);
    }
    ::closesocket(handle);
}

void CBridgeSocket::Disconnect(bool reset)
{
    CloseSocket(Detach(), reset);
    connected = false;
    receiveWaiting = false;
    closing = false;
    drainLeft = 0;
}

void CBridgeSocket::KeepAlive()
{
    tcp_keepalive values{1, KEEPALIVE_IDLE_MS, KEEPALIVE_INTERVAL_MS};
    DWORD returned = 0;
    // Without it the client is only let go when it next sends, or another takes over: not fatal.
    ::WSAIoctl(m_hSocket, SIO_KEEPALIVE_VALS, &values, sizeof values, nullptr, 0, &returned, nullptr, nullptr);
}

bool CBridgeSocket::PeerClosed()
{
    // A peek takes nothing; the socket is non-blocking, so it answers at once: 0 at the end of the
    // client's bytes, an error other than "nothing yet" for a connection that failed.
    char first = 0;
    const int peeked = ::recv(m_hSocket, &first, 1, MSG_PEEK);
    return peeked == 0 || (peeked == SOCKET_ERROR && ::WSAGetLastError() != WSAEWOULDBLOCK);
}
