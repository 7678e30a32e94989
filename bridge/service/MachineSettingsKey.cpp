// The machine's settings key the service reads: created with the defaults when missing, kept when present.
#include "MachineSettingsKey.h"

#include "../core/BridgeSettings.h"
#include "../engine/SettingsStore.h"

SettingsStore MachineSettingsKey::Store()
{
    return SettingsStore(HKEY_LOCAL_MACHINE, PATH, KEY_WOW64_32KEY);
}

LONG MachineSettingsKey::CreateWithDefaults()
{
    return Store().SaveMissing(BridgeSettings());
}
