// A host-name lookup answered by a window message, so that the thread that asked goes on dispatching.
#pragma once
#include "Afx.h"

// Lives on the thread that started it, whose message dispatching delivers the answer.
class CHostLookup {
public:
    CHostLookup() = default;
    // A lookup still running is cancelled; its buffer is left to it (see the destructor).
    ~CHostLookup();
    CHostLookup(const CHostLookup&) = delete;
    CHostLookup& operator=(const CHostLookup&) = delete;

    // Asks for the IPv4 address of `host`; false when the lookup could not even be started.
    bool Start(const char* host);
    // The answer has been dispatched to this thread.
    bool Done() const { return done; }
    // The address found, in network order; only once Done(), and false when the name is unknown.
    bool Address(in_addr& address) const;

private:
    static LRESULT CALLBACK SinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND sink = nullptr;      // message-only window that receives the answer
    HANDLE task = nullptr;    // the lookup's handle
    char* answer = nullptr;   // MAXGETHOSTSTRUCT bytes from the process heap, filled by the lookup
    bool done = false;
    int error = 0;
};
