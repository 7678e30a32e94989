// Waits of the window thread that still let other threads' SendMessage calls through.
#pragma once
#include "Afx.h"

// Waits up to timeoutMs for the event while handling messages that other threads send to
// this thread (a worker blocked in SendMessage is served, posted input is left queued).
// True when the event was signalled.
bool AfxWaitServingSentMessages(HANDLE event, DWORD timeoutMs);
