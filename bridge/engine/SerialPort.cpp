// The COM port itself: opening \\.\COMn, its settings and time-outs, reopening, the modem lines, and line changes applied to it.
#include "SerialPort.h"

#include "../core/ComPortList.h"

namespace {
constexpr DWORD QUEUE_SIZE = 15000;

static_assert(LineSettings::PARITY_OFF == NOPARITY);
static_assert(LineSettings::FAULT_QUEUE_OVERFLOW == CE_RXOVER && LineSettings::FAULT_OVERRUN == CE_OVERRUN &&
              LineSettings::FAULT_PARITY == CE_RXPARITY && LineSettings::FAULT_FRAMING == CE_FRAME &&
              LineSettings::FAULT_BREAK == CE_BREAK);
static_assert(LineSettings::DTR_ENABLED == DTR_CONTROL_ENABLE && LineSettings::DTR_HANDSHAKE == DTR_CONTROL_HANDSHAKE);
static_assert(LineSettings::RTS_DISABLED == RTS_CONTROL_DISABLE && LineSettings::RTS_ENABLED == RTS_CONTROL_ENABLE &&
              LineSettings::RTS_HANDSHAKE == RTS_CONTROL_HANDSHAKE && LineSettings::RTS_TOGGLE == RTS_CONTROL_TOGGLE);

HANDLE OpenPort(int number)
{
    // The \\.\ form is the only one that reaches COM10 and above, and it works for every port.
    return ::CreateFileA(ComPortList::DevicePath(number).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}

LineSettings FromDcb(const DCB& dcb, bool dtrOn, bool rtsOn, bool breakOn)
{
    LineSettings settings;
    settings.baudRate = dcb.BaudRate;
    settings.byteSize = dcb.ByteSize;
    settings.parity = dcb.Parity;
    settings.stopBits = dcb.StopBits;
    settings.binary = dcb.fBinary;
    settings.parityCheck = dcb.fParity;
    settings.outxCtsFlow = dcb.fOutxCtsFlow;
    settings.outxDsrFlow = dcb.fOutxDsrFlow;
    settings.dtrControl = static_cast<std::uint8_t>(dcb.fDtrControl);
    settings.rtsControl = static_cast<std::uint8_t>(dcb.fRtsControl);
    settings.dsrSensitivity = dcb.fDsrSensitivity;
    settings.outX = dcb.fOutX;
    settings.inX = dcb.fInX;
    settings.abortOnError = dcb.fAbortOnError;
    settings.dtrOn = dtrOn;
    settings.rtsOn = rtsOn;
    settings.breakOn = breakOn;
    return settings;
}

// The DCB's other fields stay as the port gave them.
void ToDcb(const LineSettings& settings, DCB& dcb)
{
    dcb.BaudRate = settings.baudRate;
    dcb.ByteSize = settings.byteSize;
    dcb.Parity = settings.parity;
    dcb.StopBits = settings.stopBits;
    dcb.fBinary = settings.binary;
    dcb.fParity = settings.parityCheck;
    dcb.fOutxCtsFlow = settings.outxCtsFlow;
    dcb.fOutxDsrFlow = settings.outxDsrFlow;
    dcb.fDtrControl = settings.dtrControl;
    dcb.fRtsControl = settings.rtsControl;
    dcb.fDsrSensitivity = settings.dsrSensitivity;
    dcb.fOutX = settings.outX;
    dcb.fInX = settings.inX;
    dcb.fAbortOnError = settings.abortOnError;
}
}

bool SerialPort::Open(int portNumber)
{
    number = portNumber;
    configured = false;
    port.Reset(OpenPort(portNumber));
    openError = port.IsValid() ? ERROR_SUCCESS : ::GetLastError();
    return port.IsValid();
}

bool SerialPort::Configure(const SerialParameters& parameters)
{
    ApplySettings(parameters);
    return ApplyToPort();
}

bool SerialPort::ApplyToPort()
{
    const bool applied = ::SetCommState(port.Get(), &lineSettings) != FALSE;
    ::SetupComm(port.Get(), QUEUE_SIZE, QUEUE_SIZE);
    ::SetCommTimeouts(port.Get(), &timeouts);
    DCB actual{};
    actual.DCBlength = sizeof actual;
    lineRate = ::GetCommState(port.Get(), &actual) ? actual.BaudRate : lineSettings.BaudRate;
    return applied;
}

bool SerialPort::Reopen(const SerialParameters& parameters)
{
    port.Reset(OpenPort(number));
    if (!port.IsValid()) {
        openError = ::GetLastError();
        return false;
    }
    // The settings the line had, the current speed included; a port that never opened gets the
    // panel's, as it would have at Listen. As at Listen, settings the port refuses leave it with
    // the driver's: the line is back all the same.
    if (configured)
        ::EscapeCommFunction(port.Get(), CLRRTS);
    else
        ApplySettings(parameters);
    ApplyToPort();
    return true;
}

void SerialPort::ApplySettings(const SerialParameters& parameters)
{
    lineSettings.DCBlength = sizeof lineSettings;
    configured = ::GetCommState(port.Get(), &lineSettings) != FALSE;
    ::GetCommTimeouts(port.Get(), &timeouts);
    ToDcb(LineSettingsDecision::ForPanel(parameters, FromDcb(lineSettings, dtrOn, rtsOn, breakOn)), lineSettings);
    // No read time-outs at all: a read waits until its buffer is full. The worker reads one
    // byte to wake on the exchange's first byte, then exactly what is queued behind it, which
    // is there already; Windows documents this and Wine's serial driver does the same on a
    // pseudo-terminal. The write time-outs stay the driver's.
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    ::EscapeCommFunction(port.Get(), CLRRTS);
}

bool SerialPort::Look(COMSTAT& status)
{
    // The query clears the driver's errors: they are kept for the next line-state look.
    DWORD faults = 0;
    if (!::ClearCommError(port.Get(), &faults, &status))
        return false;
    if (faults != 0)
        faultsSeen |= faults;
    return true;
}

bool SerialPort::Answers()
{
    COMSTAT status{};
    return Look(status);
}

bool SerialPort::Queued(DWORD& count)
{
    COMSTAT status{};
    if (!Look(status))
        return false;
    count = status.cbInQue;
    return true;
}

std::uint8_t SerialPort::LineState()
{
    COMSTAT status{};
    if (!Look(status))
        status.cbInQue = 0;
    return LineSettingsDecision::LineState(faultsSeen.exchange(0), status.cbInQue);
}

bool SerialPort::FlowControl() const
{
    return FromDcb(lineSettings, dtrOn, rtsOn, breakOn).FlowControl();
}

DWORD SerialPort::Transferred(OVERLAPPED& overlapped, bool wait, DWORD& error) const
{
    DWORD count = 0;
    error = ::GetOverlappedResult(port.Get(), &overlapped, &count, wait ? TRUE : FALSE) ? ERROR_SUCCESS : ::GetLastError();
    return count;
}

void SerialPort::ResetModemLines()
{
    dtrOn = true;
    rtsOn = false;
    breakOn = false;
}

LineResult SerialPort::Apply(const LineCommand& change)
{
    LineResult result{change, LineResult::Outcome::UNCHANGED};
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!::GetCommState(port.Get(), &settings)) {
        result.outcome = LineResult::Outcome::STATE_UNREADABLE;
        return result;
    }
    bool answered = false;
    switch (change.kind) {
    case LineCommand::Kind::SET_SPEED: {
        const auto speed = LineSettingsDecision::ForSpeed(change.value, FromDcb(settings, dtrOn, rtsOn, breakOn));
        if (speed.setState) {
            ToDcb(speed.wanted, settings);
            result.outcome = ::SetCommState(port.Get(), &settings) ? LineResult::Outcome::SET : LineResult::Outcome::REFUSED;
        }
        // Whatever was on its way at the old rate is garbage at the new one.
        COMSTAT status{};
        Look(status);
        ::PurgeComm(port.Get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
        answered = true;
        break;
    }
    case LineCommand::Kind::COM_PORT:
        result.valueInForce = ApplyComPort(change.comPort, settings);
        answered = change.comPort.code == Rfc2217Command::SET_CONTROL || change.comPort.code == Rfc2217Command::PURGE_DATA;
        break;
    }
    // What the line has now, as the driver reports it: a setting it took without carrying it out
    // (a parity a pseudo-terminal cannot do, say) is not shown as done.
    if (::GetCommState(port.Get(), &settings)) {
        lineRate = settings.BaudRate;
        lineSettings = settings;  // what a reopened port gets
        result.baudRate = settings.BaudRate;
        result.parity = settings.Parity;
        result.stopBits = settings.StopBits;
        if (!answered)
            result.valueInForce = LineSettingsDecision::Answer(change.comPort, FromDcb(settings, dtrOn, rtsOn, breakOn));
    }
    return result;
}

std::uint32_t SerialPort::ApplyComPort(const Rfc2217Command& request, DCB& settings)
{
    // A setting is tried; a control's answer is the line's right after it, any other's is read
    // back by the caller.
    const auto change = LineSettingsDecision::ForComPort(request, FromDcb(settings, dtrOn, rtsOn, breakOn));
    if (change.purge)
        ::PurgeComm(port.Get(), (change.purgeQueues & 1 ? PURGE_RXCLEAR : 0) | (change.purgeQueues & 2 ? PURGE_TXCLEAR : 0));
    if (change.signal != LineSettingsDecision::Signal::NOTHING && Switch(change.signal, change.signalOn)) {
        dtrOn = change.wanted.dtrOn;
        rtsOn = change.wanted.rtsOn;
        breakOn = change.wanted.breakOn;
    }
    if (change.setState) {
        DCB wanted = settings;
        ToDcb(change.wanted, wanted);
        if (::SetCommState(port.Get(), &wanted) && change.answerNow)
            ::GetCommState(port.Get(), &settings);
    }
    return change.answerNow ? LineSettingsDecision::Answer(request, FromDcb(settings, dtrOn, rtsOn, breakOn)) : 0;
}

bool SerialPort::Switch(LineSettingsDecision::Signal signal, bool on)
{
    switch (signal) {
    case LineSettingsDecision::Signal::BREAK:
        return (on ? ::SetCommBreak(port.Get()) : ::ClearCommBreak(port.Get())) != FALSE;
    case LineSettingsDecision::Signal::DTR:
        return ::EscapeCommFunction(port.Get(), on ? SETDTR : CLRDTR) != FALSE;
    case LineSettingsDecision::Signal::RTS:
        return ::EscapeCommFunction(port.Get(), on ? SETRTS : CLRRTS) != FALSE;
    case LineSettingsDecision::Signal::NOTHING:
        break;
    }
    return false;
}
