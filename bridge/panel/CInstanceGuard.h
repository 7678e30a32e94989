// One running copy of the bridge per program name in a user's session; a later start shows the first one's panel.
#pragma once
#include <string>

#include "../../framework/CHandle.h"

class CInstanceGuard {
public:
    // The message a later start sends to the running copy's panel: come to the front.
    static UINT ShowPanelMessage();

    // True when no other copy of this program runs in the session; the claim holds while the
    // object lives. False when one does: its panel has been asked to come to the front.
    bool Claim(const std::string& programName);

private:
    // The panel of a running copy of the program, found among the session's top-level windows.
    static HWND FindRunningPanel(const std::string& programName);

    CHandle mutex;  // UI thread only
};
