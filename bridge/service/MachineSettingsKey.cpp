// The machine's settings key the service reads: created with the defaults when missing, kept when present.
#include "MachineSettingsKey.h"

#include "../../framework/CRegKey.h"
#include "../core/BridgeSettings.h"

// The value names are the panel's (the same ANSI names its profile uses). A store shared with the
// panel and the service is meant to take this over; until then the writing stays in this one place.
LONG MachineSettingsKey::CreateWithDefaults()
{
    CRegKey key;
    LONG rc = key.Create(HKEY_LOCAL_MACHINE, PATH, KEY_QUERY_VALUE | KEY_SET_VALUE | KEY_WOW64_32KEY);
    if (rc != ERROR_SUCCESS)
        return rc;
    const BridgeSettings d;
    const struct {
        const char* name;
        int number;
        const std::string* text;
    } values[] = {
        {BridgeSettings::NAME_COM_PORT, d.comPort, nullptr},
        {BridgeSettings::NAME_BAUD_RATE, d.baudRate, nullptr},
        {BridgeSettings::NAME_PARITY, d.parity, nullptr},
        {BridgeSettings::NAME_STOP_BITS, d.stopBits, nullptr},
        {BridgeSettings::NAME_LISTEN_PORT, d.listenPort, nullptr},
        {BridgeSettings::NAME_LOG_PORT, d.logPort, nullptr},
        {BridgeSettings::NAME_LOG_ADDRESS, 0, &d.logAddress},
        {BridgeSettings::NAME_LOG_FILE_NAME, 0, &d.logFileName},
        {BridgeSettings::NAME_LOG_TO_FILE, d.logToFile, nullptr},
        {BridgeSettings::NAME_LOG_TO_TCP, d.logToTcp, nullptr},
        {BridgeSettings::NAME_LISTEN_ADDRESS, 0, &d.listenAddress},
        {BridgeSettings::NAME_ALLOWED_CLIENTS, 0, &d.allowedClients},
        {BridgeSettings::NAME_TAKEOVER, d.takeover, nullptr},
        {BridgeSettings::NAME_CONFIG_PORT_ENABLED, d.configPortEnabled, nullptr},
        {BridgeSettings::NAME_TRACE_FILE_NAME, 0, &d.traceFileName},
        {BridgeSettings::NAME_RFC2217_PORT, d.rfc2217Port, nullptr},
    };
    for (const auto& value : values) {
        DWORD type = 0, size = 0;
        if (key.QueryInfo(value.name, type, size))
            continue;
        rc = value.text ? key.SetString(value.name, *value.text) : key.SetDWORD(value.name, static_cast<DWORD>(value.number));
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}
