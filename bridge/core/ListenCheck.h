// What Listen checks before anything opens, and the texts of the boxes when a check or a listener fails.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "BridgeOptions.h"

class ListenCheck {
public:
    // The setting at fault: the panel puts the focus on its field.
    enum class Field { LISTEN_PORT, CONFIG_PORT, RFC2217_PORT, LISTEN_ADDRESS, ALLOWED_CLIENTS, LOG_PORT };
    struct Failure {
        Field field;
        std::string message;  // the box's text, Polish
    };

    // Ports 1-65535 (the RFC 2217 port may also be 0, off); the ports the bridge listens on
    // differ; the listen address and the allow-list parse; and the log receiver is not one of
    // the bridge's own listeners. `ownAddresses` are this machine's IPv4 addresses (host order),
    // when the caller knows them: a receiver at one of them reaches a listener on every interface.
    // A receiver given as a host name other than "localhost" is not looked up here.
    static std::optional<Failure> Check(const BridgeOptions& options, const std::vector<std::uint32_t>& ownAddresses = {});

    // A listener that could not be made: the port, and the reason from the system's error code.
    static std::string ListenerFailureMessage(int port, const std::string& listenAddress, int systemError);
};
