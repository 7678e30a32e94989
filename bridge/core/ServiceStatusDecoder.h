// The panel's side of the status channel: bytes in, whole states out, with no I/O of its own.
#pragma once
#include <cstddef>
#include <optional>
#include <string>

#include "ServiceStatus.h"

// Fed whatever a read gave, in any pieces. A stream that is not this format, or of another
// version, ends in Broken: the reader closes the channel rather than guess at the rest.
class ServiceStatusDecoder {
public:
    enum class State { READING, BROKEN };

    // The newest whole state among the bytes, if a frame ended in them.
    std::optional<ServiceStatus> Feed(const char* bytes, std::size_t count);

    State GetState() const { return state; }
    // Why the stream was refused; empty while reading.
    const std::string& Refusal() const { return refusal; }

private:
    void Refuse(const std::string& why);

    State state = State::READING;
    std::string pending;  // bytes of a frame not yet whole
    std::string refusal;
};
