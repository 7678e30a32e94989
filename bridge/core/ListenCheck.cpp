// What Listen checks before anything opens, and the texts of the boxes when a check or a listener fails.
#include "ListenCheck.h"

#include <algorithm>
#include <cctype>

#include "ClientAllowList.h"
#include "Ipv4Text.h"

namespace {
constexpr int WSAEACCES_CODE = 10013;
constexpr int WSAEADDRINUSE_CODE = 10048;
constexpr int WSAEADDRNOTAVAIL_CODE = 10049;

bool IsPort(int port)
{
    return port >= 1 && port <= 65535;
}

bool EqualsIgnoringCase(const std::string& text, const char* word)
{
    std::size_t i = 0;
    for (; word[i] != '\0'; ++i) {
        if (i >= text.size() || std::tolower(static_cast<unsigned char>(text[i])) != word[i])
            return false;
    }
    return i == text.size();
}

// Whether a connection to the receiver's address lands on a listener bound to `listenAddress`
// on this machine. Every address in 127.0.0.0/8 is this machine; a listener on every interface
// takes them all, and this machine's other addresses, while one bound to an address takes only
// that one.
bool ReachesOwnListener(const std::string& receiver, const std::string& listenAddress,
                        const std::vector<std::uint32_t>& ownAddresses)
{
    std::optional<std::uint32_t> target = Ipv4Text::Parse(receiver);
    if (!target && EqualsIgnoringCase(receiver, "localhost"))
        target = 0x7F000001;
    if (!target)
        return false;
    const std::optional<std::uint32_t> bound = Ipv4Text::Parse(listenAddress);
    if (bound && *bound != 0)
        return *target == *bound;
    return *target == 0 || Ipv4Text::IsLoopback(*target) ||
           std::find(ownAddresses.begin(), ownAddresses.end(), *target) != ownAddresses.end();
}

std::string PortRangeMessage(const char* which)
{
    return std::string(which) + " musi być liczbą od 1 do 65535.";
}
}

std::optional<ListenCheck::Failure> ListenCheck::Check(const BridgeOptions& options,
                                                       const std::vector<std::uint32_t>& ownAddresses)
{
    using F = Field;
    if (!IsPort(options.listenPort))
        return Failure{F::LISTEN_PORT, PortRangeMessage("Port nasłuchu")};
    if (options.configPortEnabled) {
        if (!IsPort(options.configPort))
            return Failure{F::CONFIG_PORT, PortRangeMessage("Port konfiguracji")};
        if (options.configPort == options.listenPort)
            return Failure{F::CONFIG_PORT, "Port konfiguracji musi być inny niż port nasłuchu."};
    }
    if (options.rfc2217Port != 0) {
        if (!IsPort(options.rfc2217Port))
            return Failure{F::RFC2217_PORT, "Port RFC 2217 musi być liczbą od 1 do 65535 albo 0 (wyłączony)."};
        if (options.rfc2217Port == options.listenPort ||
            (options.configPortEnabled && options.rfc2217Port == options.configPort))
            return Failure{F::RFC2217_PORT, "Port RFC 2217 musi być inny niż port nasłuchu i port konfiguracji."};
    }
    if (!options.listenAddress.empty() && !Ipv4Text::Parse(options.listenAddress))
        return Failure{F::LISTEN_ADDRESS, "Adres nasłuchu \"" + options.listenAddress + "\" nie jest adresem IPv4."};
    ClientAllowList allowList;
    if (auto bad = ClientAllowList::Parse(options.allowedClients, allowList))
        return Failure{F::ALLOWED_CLIENTS, ClientAllowList::BadEntryMessage(bad->text)};

    if (options.logToTcp) {
        if (!IsPort(options.logPort))
            return Failure{F::LOG_PORT, PortRangeMessage("Port odbiorcy")};
        const char* own = nullptr;
        if (options.logPort == options.listenPort)
            own = "port nasłuchu";
        else if (options.configPortEnabled && options.logPort == options.configPort)
            own = "port konfiguracji";
        else if (options.rfc2217Port != 0 && options.logPort == options.rfc2217Port)
            own = "port RFC 2217";
        if (own && ReachesOwnListener(options.logAddress, options.listenAddress, ownAddresses))
            return Failure{F::LOG_PORT, "Odbiorca " + options.logAddress + ":" + std::to_string(options.logPort) +
                                            " to " + own +
                                            " tego serwera: serwer łączyłby się sam ze sobą. Zmień port odbiorcy."};
    }
    return std::nullopt;
}

std::string ListenCheck::ListenerFailureMessage(int port, const std::string& listenAddress, int systemError)
{
    std::string reason;
    switch (systemError) {
    case WSAEADDRINUSE_CODE:
        reason = "port jest już zajęty przez inny program.";
        break;
    case WSAEADDRNOTAVAIL_CODE:
        reason = "adres " + listenAddress + " nie należy do tego komputera.";
        break;
    case WSAEACCES_CODE:
        reason = "system nie pozwala użyć tego portu.";
        break;
    default:
        reason = "błąd systemu " + std::to_string(systemError) + ".";
        break;
    }
    return "Nie można nasłuchiwać na porcie " + std::to_string(port) + ": " + reason;
}
