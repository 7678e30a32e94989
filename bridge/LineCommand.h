// A change of the line that the window thread queues to the serial worker, and what came of it.
#pragma once
#include <cstdint>

struct LineCommand {
    enum class Kind {
        SET_SPEED,  // value: bits per second; the client's chunk finishes first, both queues are purged after
    };
    Kind kind = Kind::SET_SPEED;
    std::uint32_t value = 0;
    // Who asked, for the connection trace: an IPv4 address in host order and a port.
    std::uint32_t requesterAddress = 0;
    int requesterPort = 0;
};

struct LineResult {
    enum class Outcome { STATE_UNREADABLE, UNCHANGED, SET, REFUSED };
    LineCommand command;
    Outcome outcome = Outcome::UNCHANGED;
};
