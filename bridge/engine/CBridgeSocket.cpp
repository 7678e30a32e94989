// The bridge's socket: its role, its connection state and the owner its notifications go to.
#include "CBridgeSocket.h"

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
