// What the serial line should get for the panel's settings, a speed record or a com-port client's request, and the answer.
#include "LineSettingsDecision.h"

#include "Rfc2217Session.h"

LineSettings LineSettingsDecision::ForPanel(const SerialParameters& parameters, const LineSettings& current)
{
    LineSettings wanted = current;
    if (parameters.baudRate >= 0)
        wanted.baudRate = static_cast<std::uint32_t>(parameters.baudRate);
    wanted.byteSize = 8;
    if (parameters.parity >= 0)
        wanted.parity = static_cast<std::uint8_t>(parameters.parity);
    if (parameters.stopBits >= 0)
        wanted.stopBits = static_cast<std::uint8_t>(parameters.stopBits);
    wanted.binary = true;
    wanted.parityCheck = false;
    wanted.outxCtsFlow = false;
    wanted.outxDsrFlow = false;
    wanted.dtrControl = LineSettings::DTR_ENABLED;
    wanted.rtsControl = LineSettings::RTS_DISABLED;
    wanted.dsrSensitivity = false;
    wanted.outX = false;
    wanted.inX = false;
    wanted.abortOnError = false;
    return wanted;
}

LineSettingsDecision::Change LineSettingsDecision::ForSpeed(std::uint32_t rate, const LineSettings& current)
{
    Change change{current};
    change.wanted.baudRate = rate;
    change.setState = current.baudRate != rate;
    return change;
}

LineSettingsDecision::Change LineSettingsDecision::ForComPort(const Rfc2217Command& request, const LineSettings& current)
{
    // A value of 0 only asks; a setting is tried, and the answer is read back from the line afterwards.
    Change change{current};
    LineSettings& wanted = change.wanted;
    switch (request.code) {
    case Rfc2217Command::SET_BAUDRATE:
        if (request.value != 0)
            wanted.baudRate = request.value;
        break;
    case Rfc2217Command::SET_DATASIZE:
        if (request.value >= 5 && request.value <= 8)
            wanted.byteSize = static_cast<std::uint8_t>(request.value);
        break;
    case Rfc2217Command::SET_PARITY:
        if (const int parity = Rfc2217Command::DcbParity(request.value); parity >= 0) {
            wanted.parity = static_cast<std::uint8_t>(parity);
            wanted.parityCheck = parity != LineSettings::PARITY_OFF;
        }
        break;
    case Rfc2217Command::SET_STOPSIZE:
        if (const int stopBits = Rfc2217Command::DcbStopBits(request.value); stopBits >= 0)
            wanted.stopBits = static_cast<std::uint8_t>(stopBits);
        break;
    case Rfc2217Command::SET_CONTROL:
        return ForControl(static_cast<std::uint8_t>(request.value), current);
    case Rfc2217Command::PURGE_DATA:
        change.purge = true;
        change.purgeQueues = static_cast<std::uint8_t>(request.value & 3);
        change.answerNow = true;
        return change;
    default:
        return change;
    }
    change.setState = !wanted.SameDcb(current);
    return change;
}

LineSettingsDecision::Change LineSettingsDecision::ForControl(std::uint8_t code, const LineSettings& current)
{
    using C = Rfc2217Command;
    Change change{current};
    change.answerNow = true;
    LineSettings& wanted = change.wanted;
    switch (code) {
    // Outbound, or both ways for a client that never names the inbound side: every flow field
    // of both directions is set, so that no other kind stays in force beside the one asked for.
    case C::CONTROL_FLOW_NONE:
    case C::CONTROL_FLOW_XONXOFF:
    case C::CONTROL_FLOW_HARDWARE:
    case C::CONTROL_FLOW_DSR:
        FlowOut(code, wanted);
        FlowIn(code, wanted);
        break;
    // Inbound only: what holds the exchange back; the outbound fields stay as they are.
    case C::CONTROL_INFLOW_NONE:
    case C::CONTROL_INFLOW_XONXOFF:
    case C::CONTROL_INFLOW_HARDWARE:
    case C::CONTROL_INFLOW_DTR:
        FlowIn(code, wanted);
        break;
    case C::CONTROL_BREAK_ON:
    case C::CONTROL_BREAK_OFF:
        change.signal = Signal::BREAK;
        change.signalOn = code == C::CONTROL_BREAK_ON;
        wanted.breakOn = change.signalOn;
        break;
    case C::CONTROL_DTR_ON:
    case C::CONTROL_DTR_OFF:
        change.signal = Signal::DTR;
        change.signalOn = code == C::CONTROL_DTR_ON;
        wanted.dtrOn = change.signalOn;
        break;
    case C::CONTROL_RTS_ON:
    case C::CONTROL_RTS_OFF:
        change.signal = Signal::RTS;
        change.signalOn = code == C::CONTROL_RTS_ON;
        wanted.rtsOn = change.signalOn;
        break;
    default:
        break;  // a query, or a flow control this line has no way to do
    }
    change.setState = !wanted.SameDcb(current);
    return change;
}

void LineSettingsDecision::FlowOut(std::uint8_t code, LineSettings& wanted)
{
    using C = Rfc2217Command;
    wanted.outX = code == C::CONTROL_FLOW_XONXOFF;
    wanted.outxCtsFlow = code == C::CONTROL_FLOW_HARDWARE;
    wanted.outxDsrFlow = code == C::CONTROL_FLOW_DSR;
}

void LineSettingsDecision::FlowIn(std::uint8_t code, LineSettings& wanted)
{
    // A modem line no longer in handshake stays where the bridge last switched it.
    using C = Rfc2217Command;
    wanted.inX = code == C::CONTROL_FLOW_XONXOFF || code == C::CONTROL_INFLOW_XONXOFF;
    const bool rts = code == C::CONTROL_FLOW_HARDWARE || code == C::CONTROL_INFLOW_HARDWARE;
    const bool dtr = code == C::CONTROL_FLOW_DSR || code == C::CONTROL_INFLOW_DTR;
    wanted.rtsControl = rts ? LineSettings::RTS_HANDSHAKE : wanted.rtsOn ? LineSettings::RTS_ENABLED : LineSettings::RTS_DISABLED;
    wanted.dtrControl = dtr ? LineSettings::DTR_HANDSHAKE : wanted.dtrOn ? LineSettings::DTR_ENABLED : LineSettings::DTR_DISABLED;
}

std::uint8_t LineSettingsDecision::LineState(std::uint32_t faults, std::uint32_t queued)
{
    // A queue overflow loses bytes as an overrun does; the protocol has no bit of its own for it.
    std::uint8_t state = queued != 0 ? Rfc2217Session::LINE_DATA_READY : 0;
    if (faults & (LineSettings::FAULT_OVERRUN | LineSettings::FAULT_QUEUE_OVERFLOW))
        state |= Rfc2217Session::LINE_OVERRUN;
    if (faults & LineSettings::FAULT_PARITY)
        state |= Rfc2217Session::LINE_PARITY;
    if (faults & LineSettings::FAULT_FRAMING)
        state |= Rfc2217Session::LINE_FRAMING;
    if (faults & LineSettings::FAULT_BREAK)
        state |= Rfc2217Session::LINE_BREAK;
    return state;
}

std::uint32_t LineSettingsDecision::Answer(const Rfc2217Command& request, const LineSettings& inForce)
{
    switch (request.code) {
    case Rfc2217Command::SET_CONTROL:
        return ControlAnswer(static_cast<std::uint8_t>(request.value), inForce);
    case Rfc2217Command::PURGE_DATA:
        return request.value;
    case Rfc2217Command::SET_BAUDRATE:
        return inForce.baudRate;
    case Rfc2217Command::SET_DATASIZE:
        return inForce.byteSize;
    case Rfc2217Command::SET_PARITY:
        return Rfc2217Command::ParityOfDcb(inForce.parity);
    default:
        return Rfc2217Command::StopSizeOfDcb(inForce.stopBits);
    }
}

std::uint32_t LineSettingsDecision::ControlAnswer(std::uint8_t code, const LineSettings& inForce)
{
    // The answer is the group's setting in force.
    using C = Rfc2217Command;
    if (code <= C::CONTROL_FLOW_HARDWARE || code == C::CONTROL_FLOW_DCD || code == C::CONTROL_FLOW_DSR)
        return inForce.outxCtsFlow   ? C::CONTROL_FLOW_HARDWARE
               : inForce.outX        ? C::CONTROL_FLOW_XONXOFF
               : inForce.outxDsrFlow ? C::CONTROL_FLOW_DSR
                                     : C::CONTROL_FLOW_NONE;
    if (code <= C::CONTROL_BREAK_OFF)
        return inForce.breakOn ? C::CONTROL_BREAK_ON : C::CONTROL_BREAK_OFF;
    if (code <= C::CONTROL_DTR_OFF)
        return inForce.dtrOn ? C::CONTROL_DTR_ON : C::CONTROL_DTR_OFF;
    if (code <= C::CONTROL_RTS_OFF)
        return inForce.rtsOn ? C::CONTROL_RTS_ON : C::CONTROL_RTS_OFF;
    return inForce.rtsControl == LineSettings::RTS_HANDSHAKE   ? C::CONTROL_INFLOW_HARDWARE
           : inForce.inX                                       ? C::CONTROL_INFLOW_XONXOFF
           : inForce.dtrControl == LineSettings::DTR_HANDSHAKE ? C::CONTROL_INFLOW_DTR
                                                               : C::CONTROL_INFLOW_NONE;
}
