// Whether a newcomer on a listener is served: the allow-list first, then the takeover rule.
#pragma once
#include <cstdint>
#include <optional>
#include <utility>

#include "ClientAllowList.h"

class ClientAdmission {
public:
    // The `takeover` setting's values.
    enum class Takeover {
        NEWCOMER_TAKES_OVER = 0,   // the current client is dropped for the newcomer
        REFUSE_WHILE_CONNECTED = 1,
        SAME_ADDRESS_ONLY = 2,     // only the current client's own address may take over
    };
    enum class Verdict {
        ACCEPT,              // nobody is connected: serve the newcomer
        TAKE_OVER,           // drop the current client, then serve the newcomer
        REFUSE_NOT_ALLOWED,  // close the newcomer; the current client is not disturbed
        REFUSE_LINE_IN_USE,
    };

    // A value outside 0-2 counts as missing: the default, a newcomer takes over.
    static Takeover TakeoverFromSetting(int value);

    ClientAdmission() = default;
    ClientAdmission(ClientAllowList allowList, Takeover takeoverRule) : allowed(std::move(allowList)), rule(takeoverRule) {}

    // Addresses in host order; `current` is empty while nobody is connected on this listener.
    Verdict Decide(std::uint32_t newcomer, std::optional<std::uint32_t> current) const;

private:
    ClientAllowList allowed;
    Takeover rule = Takeover::NEWCOMER_TAKES_OVER;
};
