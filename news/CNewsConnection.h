// One fetch connection: connect with retries, wait for data, collect the reply with time-outs.
#pragma once
#include <cstdint>
#include <memory>
#include <string>

#include "CNewsSocket.h"

class CNewsConnection {
public:
    static constexpr int REPLY_LIMIT = 15000;
    static constexpr int TIMEOUT_MS = 10000;

    CNewsConnection(std::string serverHost, int serverPort);
    ~CNewsConnection();  // closes what is open, pauses 100 ms, frees everything
    CNewsConnection(const CNewsConnection&) = delete;
    CNewsConnection& operator=(const CNewsConnection&) = delete;

    // 0 = connected, 1 = three attempts failed.
    int ConnectWithRetries();
    // Bytes in the ring once data came (0 when only zero bytes came); -2 time-out; -3 not connected or closed.
    int WaitForData();
    // -2 after 10 s of silence; -3 when not open or when the server closed (the normal end).
    int ReadAll();

    const std::uint8_t* Reply() const { return reply.get(); }
    int ReplyLength() const { return replyLength; }
    // The host asked to quit during a wait: the fetch was given up.
    bool QuitSeen() const { return quitSeen; }

private:
    int OneAttempt();
    int WaitForConnect();
    // Sleeps on the event in slices, handling one message per slice: 1 when it came,
    // -2 after the time-out, -3 once the server closed.
    int WaitForSocketEvent(HANDLE event, DWORD sliceMs);
    void Disconnect();
    // Handles at most one queued message of this thread, as a modal wait would.
    void DispatchOneMessage();
    // Sleeps until the event, a queued message or the end of the slice; true for the event.
    bool WaitForEventOrMessage(HANDLE event, DWORD sliceMs) const;
    static std::int64_t NowMs();

    std::unique_ptr<CNewsSocket> socket;
    std::string host;
    int port;
    int open = 0;
    int connected = 0;
    int timeout = TIMEOUT_MS;
    std::unique_ptr<std::uint8_t[]> reply;
    int replyLength = 0;
    bool quitSeen = false;  // a WM_QUIT taken during a wait goes back to the queue afterwards
    int quitCode = 0;
};
