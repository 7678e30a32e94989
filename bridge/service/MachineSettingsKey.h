// The machine's settings key the service reads: created with the defaults when missing, kept when present.
#pragma once
#include "../../framework/Afx.h"
#include "../engine/SettingsStore.h"

// Always the 32-bit view: the release is 32-bit, and the x64 test build must see the same key
// (on 64-bit Windows, SOFTWARE\WOW6432Node).
class MachineSettingsKey {
public:
    static constexpr const char* PATH = "SOFTWARE\\MORVEK Sp. z o.o.\\vextor\\Settings";

    // Writes each value that is missing with its default; values present are left as they are,
    // so a reinstall keeps what was set. Returns a system error code, 0 on success.
    static LONG CreateWithDefaults();
    // The one store of the machine's settings: the installer, the service and the panel beside
    // a service all read and write it through this.
    static SettingsStore Store();
};
