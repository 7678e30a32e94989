// A Win32 event object, closed when the object goes out of scope.
#pragma once
#include "Afx.h"
#include "CHandle.h"

class CEvent {
public:
    // Throws CException when the system has no event to give.
    explicit CEvent(bool initiallySignalled = false, bool manualReset = false);

    void SetEvent() const { ::SetEvent(handle.Get()); }
    // True when the event was taken within the time-out.
    bool Lock(DWORD timeoutMs = INFINITE) const { return ::WaitForSingleObject(handle.Get(), timeoutMs) == WAIT_OBJECT_0; }
    HANDLE Handle() const { return handle.Get(); }

private:
    CHandle handle;
};
