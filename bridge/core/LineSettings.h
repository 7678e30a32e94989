// The serial line's settings as the bridge uses them: the DCB's fields it sets or reads, and the modem lines it drives.
#pragma once
#include <cstdint>

// Field for field the Win32 DCB's (the engine copies them to and from one), so that what the
// line should get can be decided without Windows. The codes are the DCB's own.
struct LineSettings {
    // The DCB's codes under names of our own (Windows' headers define its names as macros).
    static constexpr std::uint8_t PARITY_OFF = 0;
    static constexpr std::uint8_t DTR_DISABLED = 0, DTR_ENABLED = 1, DTR_HANDSHAKE = 2;
    static constexpr std::uint8_t RTS_DISABLED = 0, RTS_ENABLED = 1, RTS_HANDSHAKE = 2, RTS_TOGGLE = 3;
    // The driver's line errors (ClearCommError's CE_ bits), also under names of our own.
    static constexpr std::uint32_t FAULT_QUEUE_OVERFLOW = 0x01, FAULT_OVERRUN = 0x02, FAULT_PARITY = 0x04,
                                   FAULT_FRAMING = 0x08, FAULT_BREAK = 0x10;

    std::uint32_t baudRate = 0;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = PARITY_OFF;  // 0 none, 1 odd, 2 even, 3 mark, 4 space
    std::uint8_t stopBits = 0;        // 0 one, 1 one and a half, 2 two
    bool binary = true;               // fBinary
    bool parityCheck = false;         // fParity
    bool outxCtsFlow = false;         // fOutxCtsFlow
    bool outxDsrFlow = false;         // fOutxDsrFlow
    std::uint8_t dtrControl = DTR_ENABLED;
    std::uint8_t rtsControl = RTS_DISABLED;
    bool dsrSensitivity = false;      // fDsrSensitivity
    bool outX = false;                // fOutX: XON/XOFF towards the exchange
    bool inX = false;                 // fInX: XON/XOFF from the exchange
    bool abortOnError = false;        // fAbortOnError

    // The modem lines as the bridge last switched them; the driver reports no such state back.
    bool dtrOn = true;
    bool rtsOn = false;
    bool breakOn = false;

    // Some flow control is in force, either way: the exchange may be held back (or hold the
    // bridge back) by the modem lines or by XON/XOFF. A CTS handshake counts alone, because some
    // drivers (Wine's, with one termios flag for both ways) read RTS/CTS back as that only.
    bool FlowControl() const
    {
        return outxCtsFlow || outxDsrFlow || outX || inX || rtsControl == RTS_HANDSHAKE || dtrControl == DTR_HANDSHAKE;
    }

    // The DCB's fields alike (the modem lines aside): setting one to the other would change nothing.
    bool SameDcb(const LineSettings& other) const
    {
        return baudRate == other.baudRate && byteSize == other.byteSize && parity == other.parity &&
               stopBits == other.stopBits && binary == other.binary && parityCheck == other.parityCheck &&
               outxCtsFlow == other.outxCtsFlow && outxDsrFlow == other.outxDsrFlow &&
               dtrControl == other.dtrControl && rtsControl == other.rtsControl &&
               dsrSensitivity == other.dsrSensitivity && outX == other.outX && inX == other.inX &&
               abortOnError == other.abortOnError;
    }
};
