// The bridge's socket: its role, connection state, buffer-free event and pending buffer.
#include "CBridgeSocket.h"

#include <cstdio>

#include "CControlPanelDlg.h"

void CBridgeSocket::OnReceive(int)
{
    if (!owner)
        return;
    // A receive never waits on the window thread: while the previous chunk is still on
    // its way to the port (or no line runs to take it) the client's bytes stay in TCP,
    // which holds the client back, and the receive is retried once the buffer is free.
    if (!owner->CanTakeChunk(*this) || !bufferFree.Lock(0)) {
        receiveWaiting = true;
        return;
    }
    receiveWaiting = false;
    if (pendingCount > CHUNK_SIZE) {
        char text[32];
        std::snprintf(text, sizeof text, "LEN %u", static_cast<unsigned>(pendingCount));
        ::MessageBoxA(owner->m_hWnd, text, "LEN", MB_OK);
        bufferFree.SetEvent();
        return;
    }

    // The buffer goes back at once unless a chunk now waits for the serial worker,
    // which frees it when the chunk has left; an exception in the handler does the same.
    struct Release {
        CBridgeSocket& socket;
        std::uint32_t countBefore;
        ~Release()
        {
            socket.inReceive = 0;
            const bool handedToWorker = socket.role == ROLE_DATA_CONNECTION && socket.pendingCount > countBefore;
            if (!handedToWorker)
                socket.bufferFree.SetEvent();
        }
    } release{*this, pendingCount};
    inReceive = 1;
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
    connected = 0;
    receiveWaiting = false;
}
