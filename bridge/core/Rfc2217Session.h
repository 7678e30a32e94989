// The server side of one telnet com-port client: its bytes in; line data, answers and line commands out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "Rfc2217Command.h"

// A pure state machine: no socket, no line, no clock. The client's bytes may arrive split anywhere
// (an IAC or a subnegotiation across two receives included). One session per connection; it is
// used by the thread that receives the client's bytes (the window thread). Reply and AppendEscaped
// keep no state and may be called from any thread.
//
// Telnet: BINARY and SUPPRESS-GO-AHEAD are offered and accepted both ways, COM-PORT-OPTION is
// accepted both ways, every other option is refused once per side and then ignored, so that no
// client can draw the session into a negotiation loop. Two-byte commands (NOP, GA, AYT, ...) are
// ignored. Com-port subnegotiations are served whatever the negotiation has reached, since some
// clients send their settings together with their WILL.
class Rfc2217Session {
public:
    static constexpr std::uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
    static constexpr std::uint8_t OPTION_BINARY = 0, OPTION_SGA = 3, OPTION_COM_PORT = 44;
    static constexpr std::uint8_t SIGNATURE = 0, NOTIFY_LINESTATE = 6, NOTIFY_MODEMSTATE = 7,
                                  SET_LINESTATE_MASK = 10, SET_MODEMSTATE_MASK = 11;
    static constexpr std::uint8_t REPLY_OFFSET = 100;

    // Modem lines as NOTIFY-MODEMSTATE carries them; the same bits as the modem status word of a
    // Windows COM port (CTS 0x10, DSR 0x20, ring 0x40, RLSD 0x80), so that word can be passed as it is.
    static constexpr std::uint8_t MODEM_CTS = 0x10, MODEM_DSR = 0x20, MODEM_RI = 0x40, MODEM_CD = 0x80;
    // Line state bits. Overrun, parity, framing and break are the Windows CE_ error bits of the same
    // value; data ready (0x01) and the two transmit-empty bits (0x20, 0x40) are levels.
    static constexpr std::uint8_t LINE_DATA_READY = 0x01, LINE_OVERRUN = 0x02, LINE_PARITY = 0x04,
                                  LINE_FRAMING = 0x08, LINE_BREAK = 0x10, LINE_HOLDING_EMPTY = 0x20,
                                  LINE_SHIFT_EMPTY = 0x40, LINE_TIMEOUT = 0x80;

    // Longest subnegotiation kept (option, command and value, unescaped): the longest command is
    // SET-BAUDRATE with six. A longer one (a client's signature text, say) is dropped whole.
    static constexpr std::size_t SUBNEGOTIATION_MAX = 64;

    // What one Feed produced. Feed appends, so one Output can be cleared and reused for every receive.
    struct Output {
        std::string line;      // the client's data for the line, unescaped
        std::string client;    // answers to send to the client as they are (already escaped)
        std::vector<Rfc2217Command> commands;  // in the order received; lineOffset indexes `line`
        bool comPortAgreed = false;  // agreed during this Feed: send the first ModemState now
        void Clear()
        {
            line.clear();
            client.clear();
            commands.clear();
            comPortAgreed = false;
        }
    };

    // The signature text is what a SIGNATURE query is answered with: the program's name and version.
    explicit Rfc2217Session(std::string signatureText);

    // The server's offers, to send when the client has connected: WILL and DO BINARY and SGA.
    std::string Opening();
    void Feed(const std::uint8_t* data, std::size_t length, Output& out);

    // The reply to a command once the line has dealt with it, carrying the value now in force
    // (the baud rate, data size, parity or stop size code, the group's SET_CONTROL code, the purge
    // code). Empty for the flow-control commands, which have no reply.
    static std::string Reply(const Rfc2217Command& command, std::uint32_t valueInForce);

    // The modem lines (MODEM_ bits) or line state (LINE_ bits) as the line sees them now; call at
    // every look at the line. Returns the notification to send, or nothing: nothing before
    // COM-PORT-OPTION is agreed; the first modem state after it always; then only when a line or
    // change bit the client's mask selects has changed (line errors: whenever one is selected).
    std::string ModemState(std::uint8_t lines);
    std::string LineState(std::uint8_t state);

    bool ComPortAgreed() const;
    // The client sends binary data (WILL BINARY agreed); until then its CR NUL reaches the line as CR.
    bool ClientBinary() const;

    // Appends data for the client with every 0xFF doubled; data without 0xFF is copied in one go.
    static void AppendEscaped(std::string& out, const std::uint8_t* data, std::size_t length);

private:
    enum class Parse : std::uint8_t { DATA, COMMAND, OPTION, SUB, SUB_COMMAND };
    enum Side : std::uint8_t { CLIENT = 0, SERVER = 1 };  // whose side of an option: WILL/WONT vs DO/DONT
    enum Option : std::uint8_t { NO, YES, ASKED, REFUSED };

    void Command(std::uint8_t byte, Output& out);
    void Negotiate(std::uint8_t command, std::uint8_t option, Output& out);
    void Subnegotiation(Output& out);
    void AppendData(const std::uint8_t* data, std::size_t length, Output& out);
    static void Notify(std::string& out, std::uint8_t code, std::uint8_t value);
    static void AppendReply(std::string& out, std::uint8_t code, const std::uint8_t* value, std::size_t length);

    std::string signature;
    Parse parse = Parse::DATA;
    std::uint8_t verb = 0;
    bool crPending = false;  // the last data byte was a CR: a NUL right after it is dropped (not in binary)
    bool subOverflow = false;
    std::size_t subLength = 0;
    std::uint8_t sub[SUBNEGOTIATION_MAX] = {};
    Option options[2][256] = {};

    std::uint8_t lineMask = 0;
    std::uint8_t modemMask = 255;
    std::uint8_t lineNow = 0;    // the line state and modem lines at the last look
    std::uint8_t modemNow = 0;
    std::uint8_t modemDeltas = 0;  // change bits gathered since the last modem state sent
    bool modemDue = false;         // COM-PORT-OPTION agreed and no modem state sent since
};
