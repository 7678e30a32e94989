// The news connection's socket: moves arriving bytes into a receive ring and signals events.
#pragma once
#include <memory>

#include "../framework/CAsyncSocket.h"
#include "../framework/CEvent.h"
#include "ReceiveRing.h"

// Lives on the host's thread that loaded the library; the marks only guard against re-entry there.
class CNewsSocket : public CAsyncSocket {
public:
    CNewsSocket();

    // Moves waiting bytes into the ring; returns how many were stored.
    int Pull();
    // Moves up to `length` bytes out of the ring; returns how many.
    int Take(std::uint8_t* buffer, int length);
    int Count() const { return static_cast<int>(ring->Count()); }

    void OnReceive(int errorCode) override;
    void OnSend(int errorCode) override;
    void OnConnect(int errorCode) override;
    void OnClose(int errorCode) override;

    int lastError = 0;
    int closed = 0;  // set by the close notification, never cleared
    CEvent connectEvent{false, false};
    CEvent dataEvent{false, false};

private:
    std::unique_ptr<ReceiveRing> ring;
    // Taken once with the socket: a receive notification allocates nothing, so it cannot fail
    // for want of memory (the library must not show a box of its own from inside the host).
    std::unique_ptr<std::uint8_t[]> incoming;
    int pulling = 0;
    int pendingReceive = 0;
    int taking = 0;
};
