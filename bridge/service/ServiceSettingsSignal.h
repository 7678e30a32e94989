// Tells the running service that its settings changed: SERVICE_CONTROL_PARAMCHANGE, never a code of our own.
#pragma once
#include "../../framework/Afx.h"

// A user-defined control code may be sent by any interactive user; PARAMCHANGE needs the right to
// pause and continue the service, which only administrators have.
class ServiceSettingsSignal {
public:
    // NO_ERROR once the service took it; ERROR_SERVICE_NOT_ACTIVE when it is not running (the
    // settings apply at its next start); else the error. A service that cannot take a control
    // just now (starting, stopping) is asked again for a few seconds first.
    static DWORD Send();
};
