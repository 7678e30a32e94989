// A Win32 event object, closed when the object goes out of scope.
#pragma once
#include "Afx.h"

class CEvent {
public:
    // Throws CResourceException when the system has no event to give.
    explicit CEvent(bool initiallySignalled = false, bool manualReset = false);
    ~CEvent();
    CEvent(const CEvent&) = delete;
    CEvent& operator=(const CEvent&) = delete;

    void SetEvent() const { ::SetEvent(handle); }
    void ResetEvent() const { ::ResetEvent(handle); }
    // True when the event was taken within the time-out.
    bool Lock(DWORD timeoutMs = INFINITE) const { return ::WaitForSingleObject(handle, timeoutMs) == WAIT_OBJECT_0; }
    HANDLE Handle() const { return handle; }

private:
    HANDLE handle;
};
