// What a bridge socket reports its notifications to; every call comes on the thread that created the socket (the engine's).
#pragma once

class CBridgeSocket;

class IBridgeSocketOwner {
public:
    virtual void OnSocketAccept(CBridgeSocket& listener) = 0;
    virtual void OnSocketReceive(CBridgeSocket& socket) = 0;
    virtual void OnSocketClose(CBridgeSocket& socket) = 0;
    // The socket takes bytes again after a send that would have blocked.
    virtual void OnSocketSend(CBridgeSocket& socket) { (void)socket; }

protected:
    ~IBridgeSocketOwner() = default;
};
