// A change of the line that the window thread queues to the serial worker, and what came of it.
#pragma once
#include <cstdint>

#include "Rfc2217Command.h"

struct LineCommand {
    enum class Kind {
        SET_SPEED,  // a speed record: value in bits per second; both queues are purged after
        COM_PORT,   // a com-port client's setting or query (`comPort`); it is answered with what is in force
    };
    Kind kind = Kind::SET_SPEED;
    std::uint32_t value = 0;  // SET_SPEED: the rate; COM_PORT: the number of the data client that asked
    // Who asked, for the connection trace: an IPv4 address in host order and a port.
    std::uint32_t requesterAddress = 0;
    int requesterPort = 0;
    Rfc2217Command comPort;
    // Set by the line when queued: the client's chunks offered before it, which go to the line first.
    std::uint64_t afterChunks = 0;
    // Set by the line when queued: the data client its output served then (a purge empties that
    // client's output only).
    std::uint32_t outputClient = 0;
};

struct LineResult {
    enum class Outcome { STATE_UNREADABLE, UNCHANGED, SET, REFUSED };
    LineCommand command;
    Outcome outcome = Outcome::UNCHANGED;
    // COM_PORT: the value in force afterwards, in the protocol's own terms, for the reply.
    std::uint32_t valueInForce = 0;
    // The line's settings afterwards (DCB codes), for the panel's lists; 0 / -1 when unreadable.
    std::uint32_t baudRate = 0;
    int parity = -1;
    int stopBits = -1;
};
