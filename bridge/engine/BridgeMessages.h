// The private window messages and timers of the engine's host window, posted by the engine's threads.
#pragma once
#include "../../framework/Afx.h"

// Posted by the serial worker when the client's chunk has left and a receive waits for it.
constexpr UINT WM_RESUME_RECEIVE = WM_APP + 2;
// Posted by the serial worker when queued line changes were applied: their results wait in the line.
constexpr UINT WM_LINE_RESULT = WM_APP + 3;
// Posted when the traffic log failed on the worker: the text waits in the engine.
constexpr UINT WM_LOG_FAILURE = WM_APP + 4;
// Posted by the serial worker when the COM port failed as a removed device does; wParam: the
// system's error. The worker has let go of the port.
constexpr UINT WM_LINE_LOST = WM_APP + 8;
// Posted by the serial worker when the data client fell a whole output behind and was let go:
// its connection is to close.
constexpr UINT WM_CLIENT_BEHIND = WM_APP + 12;

// The host's timer that tries a lost COM port again, once a second, only while it is lost.
constexpr UINT_PTR LINE_RETRY_TIMER = 1;
constexpr UINT LINE_RETRY_MS = 1000;
// The host's timer that looks at the modem lines for a com-port client.
constexpr UINT_PTR MODEM_TIMER = 2;
// The host's timer that writes the refusals counted in an address's minute, while one is open.
constexpr UINT_PTR REFUSAL_TIMER = 3;
