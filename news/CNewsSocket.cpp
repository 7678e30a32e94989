// The news connection's socket: moves arriving bytes into a receive ring and signals events.
#include "CNewsSocket.h"

#include <algorithm>

CNewsSocket::CNewsSocket()
    : ring(std::make_unique<ReceiveRing>()), incoming(std::make_unique<std::uint8_t[]>(ReceiveRing::STORAGE))
{
}

int CNewsSocket::Pull()
{
    u_long waiting = 0;
    // A failed query counts as nothing waiting.
    if (::ioctlsocket(m_hSocket, FIONREAD, &waiting) != 0 || waiting == 0)
        return 0;
    const std::size_t room = ring->FreeSpace();
    if (room == 0) {
        char none;
        Receive(&none, 0);  // re-arms the receive notification without taking data
        return 0;
    }
    const int received = Receive(incoming.get(), static_cast<int>(std::min(room, ReceiveRing::STORAGE)));
    if (received <= 0)
        return 0;
    const std::size_t stored = ring->Store(incoming.get(), static_cast<std::size_t>(received));
    dataEvent.SetEvent();
    return static_cast<int>(stored);
}

int CNewsSocket::Take(std::uint8_t* buffer, int length)
{
    if (taking)
        return 0;
    taking = 1;
    struct Clear {
        int& mark;
        ~Clear() { mark = 0; }
    } clear{taking};
    if (pendingReceive)
        return 0;
    if (ring->Count() == 0) {
        Pull();
        if (ring->Count() == 0)
            return 0;
    }
    if (pulling)
        return 0;
    return static_cast<int>(ring->Take(buffer, static_cast<std::size_t>(std::max(length, 0))));
}

void CNewsSocket::OnReceive(int errorCode)
{
    lastError = errorCode;
    if (pulling)
        return;
    pulling = 1;
    if (taking) {
        char none;
        Receive(&none, 0);
        pendingReceive = 1;
        pulling = 0;
        return;
    }
    pendingReceive = 0;
    Pull();
    pulling = 0;
}

void CNewsSocket::OnSend(int errorCode)
{
    OnConnect(errorCode);
}

void CNewsSocket::OnConnect(int errorCode)
{
    lastError = errorCode;
    connectEvent.SetEvent();
}

void CNewsSocket::OnClose(int)
{
    closed = 1;
}
