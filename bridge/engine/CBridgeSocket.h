// The bridge's socket: its role, its connection state and the owner its notifications go to.
#pragma once
#include <cstddef>
#include <cstdint>

#include "../../framework/CAsyncSocket.h"
#include "IBridgeSocketOwner.h"

enum : int {
    ROLE_DATA_LISTENER = 0,
    ROLE_DATA_CONNECTION = 1,
    ROLE_CFG_LISTENER = 2,
    ROLE_CFG_CONNECTION = 3,
    // The link to the log receiver only sends; what the receiver sends back is read and dropped.
    ROLE_LOG_LINK = 4,
    // Com-port clients (the telnet protocol) are data clients too: one of either kind at a time.
    ROLE_COM_PORT_LISTENER = 5,
};

class CBridgeSocket : public CAsyncSocket {
public:
    // The most a client's receive takes at once.
    static constexpr std::uint32_t CHUNK_SIZE = 1020;

    void OnReceive(int) override;
    void OnSend(int) override;
    void OnAccept(int) override;
    void OnClose(int) override;

    // Closes the client's handle and forgets the client (a waiting receive included); a reset
    // drops what the client still sends and tells it so at once.
    void Disconnect(bool reset = false);
    // Closes a handle no object owns; a reset drops what is on its way and tells the peer at once.
    static void CloseSocket(SOCKET handle, bool reset);
    // A peer that vanished without a word (a VPN that dropped, a laptop asleep) is noticed by the
    // system within about three minutes, even while neither side has anything to say.
    void KeepAlive();
    // The client's close has come and nothing of it waits to be read before it (or the connection
    // failed), whether or not its notification was handled yet.
    bool PeerClosed();

    // The engine's thread only.
    int role = -1;
    bool connected = false;
    // A receive notification found the way to the line busy; it is retried when the way frees.
    bool receiveWaiting = false;
    // The client has closed its side: what it sent before is read to the end, then the socket closes.
    bool closing = false;
    std::size_t drainLeft = 0;  // while closing: the most that is still read before the socket is reset
    IBridgeSocketOwner* owner = nullptr;
    // A connection's client, in host order, for the status and the connection trace.
    std::uint32_t peerAddress = 0;
    int peerPort = 0;
};
