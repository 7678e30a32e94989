// The bridge's socket: its role, its connection state and the owner its notifications go to.
#include "CBridgeSocket.h"

void CBridgeSocket::OnReceive(int)
{
    if (owner)
        owner->OnSocketReceive(*this);
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

void CBridgeSocket::Disconnect()
{
    SOCKET handle = Detach();
    if (handle != INVALID_SOCKET)
        ::closesocket(handle);
    connected = false;
    receiveWaiting = false;
}
