// One request of a com-port client for the serial line, in the protocol's own codes, and their line equivalents.
#pragma once
#include <cstddef>
#include <cstdint>

// The session turns the client's settings into these; the line applies them in order and the
// session's Reply encodes what is in force afterwards. Queries (value 0) go the same way, so an
// answer always says what the line has now, after every change the client asked for before it.
struct Rfc2217Command {
    // Client command codes; the server's reply to one carries the code + 100.
    static constexpr std::uint8_t SET_BAUDRATE = 1;  // value: baud, 4 bytes big-endian on the wire
    static constexpr std::uint8_t SET_DATASIZE = 2;  // 5 to 8
    static constexpr std::uint8_t SET_PARITY = 3;    // 1 none, 2 odd, 3 even, 4 mark, 5 space
    static constexpr std::uint8_t SET_STOPSIZE = 4;  // 1 one, 2 two, 3 one and a half
    static constexpr std::uint8_t SET_CONTROL = 5;   // one of the CONTROL_ values below
    static constexpr std::uint8_t FLOWCONTROL_SUSPEND = 8;  // hold the exchange's bytes for this client; no reply
    static constexpr std::uint8_t FLOWCONTROL_RESUME = 9;   // send them again; no reply
    static constexpr std::uint8_t PURGE_DATA = 12;   // 1 receive queue, 2 transmit queue, 3 both; the reply repeats it

    // SET_CONTROL values by group; a query (0, 4, 7, 10, 13) and every setting of a group is answered
    // with the setting of that group now in force (for DTR: DTR_ON or DTR_OFF, and so on).
    static constexpr std::uint8_t CONTROL_FLOW_QUERY = 0, CONTROL_FLOW_NONE = 1, CONTROL_FLOW_XONXOFF = 2,
                                  CONTROL_FLOW_HARDWARE = 3, CONTROL_FLOW_DCD = 17, CONTROL_FLOW_DSR = 19;
    static constexpr std::uint8_t CONTROL_BREAK_QUERY = 4, CONTROL_BREAK_ON = 5, CONTROL_BREAK_OFF = 6;
    static constexpr std::uint8_t CONTROL_DTR_QUERY = 7, CONTROL_DTR_ON = 8, CONTROL_DTR_OFF = 9;
    static constexpr std::uint8_t CONTROL_RTS_QUERY = 10, CONTROL_RTS_ON = 11, CONTROL_RTS_OFF = 12;
    static constexpr std::uint8_t CONTROL_INFLOW_QUERY = 13, CONTROL_INFLOW_NONE = 14, CONTROL_INFLOW_XONXOFF = 15,
                                  CONTROL_INFLOW_HARDWARE = 16, CONTROL_INFLOW_DTR = 18;
    static constexpr std::uint8_t CONTROL_LAST = 19;

    std::uint8_t code = 0;
    std::uint32_t value = 0;     // 0: only report the setting in force (not for SET_CONTROL, see above)
    std::size_t lineOffset = 0;  // line bytes of the session's output that the client sent before this

    // Parity and stop sizes against the line's DCB codes (parity 0 none, 1 odd, 2 even, 3 mark,
    // 4 space; stop bits 0 one, 1 one and a half, 2 two). -1 / 0: no such code, change nothing.
    static constexpr int DcbParity(std::uint32_t parity) { return parity >= 1 && parity <= 5 ? int(parity) - 1 : -1; }
    static constexpr std::uint32_t ParityOfDcb(int dcb) { return dcb >= 0 && dcb <= 4 ? std::uint32_t(dcb) + 1 : 0; }
    static constexpr int DcbStopBits(std::uint32_t size) { return size == 1 ? 0 : size == 2 ? 2 : size == 3 ? 1 : -1; }
    static constexpr std::uint32_t StopSizeOfDcb(int dcb) { return dcb == 0 ? 1 : dcb == 1 ? 3 : dcb == 2 ? 2 : 0; }
};
