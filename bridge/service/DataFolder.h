// The service's data folder, %ProgramData%\MORVEK\Vextor, kept out of other local users' reach.
#pragma once
#include "../../framework/Afx.h"

#include <string>

class DataFolder {
public:
    // Empty when the system names no ProgramData folder.
    static std::wstring Path();

    // Creates the folder (and MORVEK above it) and resets its security and that of anything
    // already in it: owner Administrators; SYSTEM and Administrators full control; the service's
    // own SID `serviceSid` (SDDL form) modify; nothing inherited from above. A local user who made
    // the folder or a log file first keeps no access to the exchange's traffic.
    // Returns a system error code, 0 on success.
    static DWORD Create(const std::wstring& serviceSid);
};
