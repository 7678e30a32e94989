// The event source "Vextor" in the Application log: where the event viewer finds the service's messages.
#pragma once
#include "../../framework/Afx.h"

#include <string>

class EventSourceRegistration {
public:
    static constexpr const char* KEY_PATH = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Vextor";

    // The message file is the program itself (its message table); written as the literal path,
    // so it holds wherever the program was installed. Returns a system error code, 0 on success.
    static LONG Register(const std::wstring& programPath);
    // 0 also when there was none.
    static LONG Remove();
};
