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
    // One fetch, from the first connect to the close, ends as a failed one after this long
    // whatever the server does: a trickle of bytes would otherwise restart every time-out.
    static constexpr int FETCH_LIMIT_MS = 30000;

    CNewsConnection(std::string serverHost, int serverPort);
    ~CNewsConnection();  // closes what is open, pauses 100 ms, frees everything
    CNewsConnection(const CNewsConnection&) = delete;
    CNewsConnection& operator=(const CNewsConnection&) = delete;

    // 0 = connected, 1 = three attempts failed. The fetch's overall limit starts here.
    int ConnectWithRetries();
    // Bytes in the ring once data came (0 when only zero bytes came); -2 time-out; -3 not connected
    // or closed; -5 the fetch's overall limit passed.
    int WaitForData();
    // -2 after 10 s of silence; -3 when not open or when the server closed (the normal end); -5 the
    // fetch's overall limit passed.
    int ReadAll();

    const std::uint8_t* Reply() const { return reply.get(); }
    int ReplyLength() const { return replyLength; }
    // The host asked to quit during a wait: the fetch was given up.
    bool QuitSeen() const { return quitSeen; }
    // The fetch took longer than its overall limit: what was collected is not to be used.
    bool FetchLimitReached() const { return limitReached; }

private:
    int OneAttempt();
    // The server's address as dotted text: the host as given when it is one, else looked up while
    // this thread's messages go on being dispatched. Empty when the name cannot be resolved.
    std::string ResolveHost();
    // Sleeps until a queued message or the end of the slice.
    void WaitForMessage(DWORD sliceMs) const;
    // Checks the overall limit; true (and marked) once it has passed.
    bool PastFetchLimit();
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
    std::int64_t fetchStart = 0;
    bool limitReached = false;
    int quitCode = 0;
};
