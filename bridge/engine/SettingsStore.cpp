// The bridge's settings as registry values under a root key and path, in the panel's names and types.
#include "SettingsStore.h"

#include <utility>

#include "../../framework/CRegKey.h"

namespace {
// One stored value: a number or a text of the settings, never both.
struct StoredValue {
    const char* name;
    int BridgeSettings::*number;
    std::string BridgeSettings::*text;
};

// The order in which values are read and written: a key written afresh lists them so.
constexpr StoredValue VALUES[] = {
    {BridgeSettings::NAME_COM_PORT, &BridgeSettings::comPort, nullptr},
    {BridgeSettings::NAME_BAUD_RATE, &BridgeSettings::baudRate, nullptr},
    {BridgeSettings::NAME_PARITY, &BridgeSettings::parity, nullptr},
    {BridgeSettings::NAME_STOP_BITS, &BridgeSettings::stopBits, nullptr},
    {BridgeSettings::NAME_LISTEN_PORT, &BridgeSettings::listenPort, nullptr},
    {BridgeSettings::NAME_LOG_PORT, &BridgeSettings::logPort, nullptr},
    {BridgeSettings::NAME_LOG_ADDRESS, nullptr, &BridgeSettings::logAddress},
    {BridgeSettings::NAME_LOG_FILE_NAME, nullptr, &BridgeSettings::logFileName},
    {BridgeSettings::NAME_LOG_TO_FILE, &BridgeSettings::logToFile, nullptr},
    {BridgeSettings::NAME_LOG_TO_TCP, &BridgeSettings::logToTcp, nullptr},
    {BridgeSettings::NAME_LISTEN_ADDRESS, nullptr, &BridgeSettings::listenAddress},
    {BridgeSettings::NAME_ALLOWED_CLIENTS, nullptr, &BridgeSettings::allowedClients},
    {BridgeSettings::NAME_TAKEOVER, &BridgeSettings::takeover, nullptr},
    {BridgeSettings::NAME_CONFIG_PORT_ENABLED, &BridgeSettings::configPortEnabled, nullptr},
    {BridgeSettings::NAME_TRACE_FILE_NAME, nullptr, &BridgeSettings::traceFileName},
    {BridgeSettings::NAME_RFC2217_PORT, &BridgeSettings::rfc2217Port, nullptr},
    {BridgeSettings::NAME_CONFIG_PORT, &BridgeSettings::configPort, nullptr},
};
}

SettingsStore::SettingsStore(HKEY rootKey, std::string keyPath, REGSAM registryView)
    : root(rootKey), path(std::move(keyPath)), view(registryView)
{
}

BridgeSettings SettingsStore::Load() const
{
    BridgeSettings settings;
    CRegKey key;
    // The service's account and a user's panel may only read the machine's key: read it then as it is.
    if (key.Create(root, path, KEY_READ | KEY_WRITE | view) != ERROR_SUCCESS &&
        key.Open(root, path, KEY_READ | view) != ERROR_SUCCESS)
        return settings;
    for (const StoredValue& value : VALUES) {
        if (value.number) {
            if (const auto stored = key.QueryDWORD(value.name))
                settings.*value.number = static_cast<int>(*stored);
        } else if (auto stored = key.QueryString(value.name)) {
            settings.*value.text = std::move(*stored);
        }
    }
    return settings;
}

bool SettingsStore::Save(const BridgeSettings& settings) const
{
    CRegKey key;
    if (key.Create(root, path, KEY_WRITE | view) != ERROR_SUCCESS)
        return false;
    bool written = true;
    for (const StoredValue& value : VALUES) {
        const LONG result = value.number ? key.SetDWORD(value.name, static_cast<DWORD>(settings.*value.number))
                                         : key.SetString(value.name, settings.*value.text);
        written = written && result == ERROR_SUCCESS;
    }
    return written;
}

LONG SettingsStore::SaveMissing(const BridgeSettings& defaults) const
{
    CRegKey key;
    LONG result = key.Create(root, path, KEY_QUERY_VALUE | KEY_SET_VALUE | view);
    for (const StoredValue& value : VALUES) {
        if (result != ERROR_SUCCESS)
            break;
        DWORD type = 0, size = 0;
        if (key.QueryInfo(value.name, type, size))
            continue;
        result = value.number ? key.SetDWORD(value.name, static_cast<DWORD>(defaults.*value.number))
                              : key.SetString(value.name, defaults.*value.text);
    }
    return result;
}
