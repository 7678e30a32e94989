// The bridge's socket: its role, connection state, buffer-free event and pending buffer.
#pragma once
#include <atomic>
#include <cstdint>

#include "../framework/CAsyncSocket.h"
#include "../framework/CEvent.h"

class CControlPanelDlg;

enum : int {
    ROLE_DATA_LISTENER = 0,
    ROLE_DATA_CONNECTION = 1,
    ROLE_CFG_LISTENER = 2,
    ROLE_CFG_CONNECTION = 3,
    // The link to the log receiver only sends; what the receiver sends back is read and dropped.
    ROLE_LOG_LINK = 4,
};

class CBridgeSocket : public CAsyncSocket {
public:
    static constexpr std::uint32_t PENDING_SIZE = 2000;
    static constexpr std::uint32_t CHUNK_SIZE = 1020;

    CBridgeSocket() = default;

    void OnReceive(int errorCode) override;
    void OnAccept(int errorCode) override;
    void OnClose(int errorCode) override;

    // Closes the client's handle and forgets the client (a waiting receive included).
    void Disconnect();

    int role = -1;                    // UI thread
    int connected = 0;                // UI thread
    int inReceive = 0;                // UI thread
    bool receiveWaiting = false;      // UI thread: a receive notification waits for the buffer or the line
    CEvent bufferFree{true, false};   // taken by the UI thread, signalled by whoever empties the buffer
    std::uint8_t pending[PENDING_SIZE] = {};
    // Written by the UI thread after the bytes it covers; the worker shortens it after writing them.
    std::atomic<std::uint32_t> pendingCount{0};
    CControlPanelDlg* owner = nullptr;  // UI thread
};
