// What the serial line should get for the panel's settings, a speed record or a com-port client's request, and the answer.
#pragma once
#include <cstdint>

#include "BridgeOptions.h"
#include "LineSettings.h"
#include "Rfc2217Command.h"

// Pure decisions: the engine reads the port's settings, asks here what to do, does it on the
// port and reads the line back for the answer. A setting is only tried; what the driver
// carried out decides the reply.
class LineSettingsDecision {
public:
    // A modem line a control request switches on the port itself, not through the settings.
    enum class Signal { NOTHING, BREAK, DTR, RTS };

    struct Change {
        // What the line should have; its modem lines are those once `signal` has been switched.
        LineSettings wanted;
        bool setState = false;  // wanted's DCB fields differ from the current ones: the port is set to them
        Signal signal = Signal::NOTHING;
        bool signalOn = false;
        bool purge = false;           // the port's queues are emptied: those of purgeQueues, maybe none
        std::uint8_t purgeQueues = 0;  // 1 the receive queue, 2 the transmit queue
        // The reply comes from the line right after this change (a control or a purge), not
        // from the read-back of every setting that follows it.
        bool answerNow = false;
    };

    // The settings at Listen: the panel's speed, parity and stop bits where it has them, eight
    // data bits, binary, no flow control, DTR on and RTS off.
    static LineSettings ForPanel(const SerialParameters& parameters, const LineSettings& current);
    // A speed record: the rate, nothing else.
    static Change ForSpeed(std::uint32_t rate, const LineSettings& current);
    // A com-port client's setting or query; a query (value 0) changes nothing.
    static Change ForComPort(const Rfc2217Command& request, const LineSettings& current);
    // The value in force for the reply, in the protocol's terms, from the line's settings as read.
    static std::uint32_t Answer(const Rfc2217Command& request, const LineSettings& inForce);
    // The request empties what waits for the client too (a purge of the receive side).
    static bool PurgesClientOutput(const Rfc2217Command& request)
    {
        return request.code == Rfc2217Command::PURGE_DATA && (request.value & 1) != 0;
    }
    // A line-state notification's bits (Rfc2217Session's LINE_ values) from the driver's errors
    // (LineSettings' FAULT_ bits) and the count of bytes it holds unread.
    static std::uint8_t LineState(std::uint32_t faults, std::uint32_t queued);

private:
    static Change ForControl(std::uint8_t code, const LineSettings& current);
    static void FlowOut(std::uint8_t code, LineSettings& wanted);
    static void FlowIn(std::uint8_t code, LineSettings& wanted);
    static std::uint32_t ControlAnswer(std::uint8_t code, const LineSettings& inForce);
};
