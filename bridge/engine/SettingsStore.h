// The bridge's settings as registry values under a root key and path, in the panel's names and types.
#pragma once
#include <string>

#include "../../framework/Afx.h"
#include "../core/BridgeSettings.h"

// Numbers are REG_DWORD, texts REG_SZ. A value that is missing, or stored with another type or
// size, reads as its default. The key path is created when missing, reading included, since the
// key is opened for writing as well; a key the caller may only read is read all the same.
class SettingsStore {
public:
    // view: 0 for the caller's own registry view; a service of the 32-bit program that is built
    // for 64 bits as well passes KEY_WOW64_32KEY so that both read one key under HKLM.
    SettingsStore(HKEY root, std::string path, REGSAM view = 0);

    // The defaults of BridgeSettings where nothing usable is stored.
    BridgeSettings Load() const;
    // Every value, in the order they are read; false when the key could not be opened or a
    // value not written.
    bool Save(const BridgeSettings& settings) const;
    // Only the values that are missing, from `defaults`; those present are kept whatever they
    // hold, so that installing again keeps what an administrator set. A system error code, 0 on success.
    LONG SaveMissing(const BridgeSettings& defaults) const;

private:
    HKEY root;
    std::string path;
    REGSAM view;
};
