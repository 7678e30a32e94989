// Waits of the window thread that still let other threads' SendMessage calls through.
#include "AfxWait.h"

bool AfxWaitServingSentMessages(HANDLE event, DWORD timeoutMs)
{
    const DWORD start = ::GetTickCount();
    for (;;) {
        const DWORD elapsed = ::GetTickCount() - start;
        if (elapsed >= timeoutMs)
            return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0;
        const DWORD result = ::MsgWaitForMultipleObjects(1, &event, FALSE, timeoutMs - elapsed, QS_SENDMESSAGE);
        if (result == WAIT_OBJECT_0)
            return true;
        if (result == WAIT_OBJECT_0 + 1) {
            MSG msg;
            // Peeking delivers the pending sent messages; nothing posted is removed.
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            continue;
        }
        if (result == WAIT_TIMEOUT)
            return false;
        ::Sleep(1);  // a failed wait must not turn into a spin
    }
}
