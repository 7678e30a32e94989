// The private window messages the serial line sends or posts to the window that runs the bridge.
#pragma once
#include "../framework/Afx.h"

// Sent (synchronously) by the serial worker after each chunk it read from the exchange.
constexpr UINT WM_EXCHANGE_DATA = WM_APP + 1;
// Posted by the serial worker when the client's chunk has left and the next may be received.
constexpr UINT WM_RESUME_RECEIVE = WM_APP + 2;
