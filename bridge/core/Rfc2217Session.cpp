// The server side of one telnet com-port client: its bytes in; line data, answers and line commands out.
#include "Rfc2217Session.h"

#include <cstring>
#include <initializer_list>
#include <utility>

namespace {
constexpr std::uint8_t CR = '\r';
constexpr std::uint8_t MODEM_LINES = 0xF0;
constexpr std::uint8_t LINE_LEVELS = Rfc2217Session::LINE_DATA_READY | Rfc2217Session::LINE_HOLDING_EMPTY |
                                     Rfc2217Session::LINE_SHIFT_EMPTY;

bool Supported(std::uint8_t option)
{
    return option == Rfc2217Session::OPTION_BINARY || option == Rfc2217Session::OPTION_SGA ||
           option == Rfc2217Session::OPTION_COM_PORT;
}

void AppendBytes(std::string& out, std::initializer_list<std::uint8_t> bytes)
{
    for (std::uint8_t byte : bytes)
        out.push_back(static_cast<char>(byte));
}
}

Rfc2217Session::Rfc2217Session(std::string signatureText) : signature(std::move(signatureText)) {}

std::string Rfc2217Session::Opening()
{
    std::string bytes;
    for (std::uint8_t option : {OPTION_BINARY, OPTION_SGA}) {
        for (Side side : {SERVER, CLIENT}) {
            if (options[side][option] == NO) {
                options[side][option] = ASKED;
                AppendBytes(bytes, {IAC, side == SERVER ? WILL : DO, option});
            }
        }
    }
    return bytes;
}

void Rfc2217Session::Feed(const std::uint8_t* data, std::size_t length, Output& out)
{
    const std::uint8_t* at = data;
    const std::uint8_t* const end = data + length;
    while (at < end) {
        switch (parse) {
        case Parse::DATA: {
            // The data path: everything up to the next IAC in one piece.
            const void* iac = std::memchr(at, IAC, static_cast<std::size_t>(end - at));
            const std::uint8_t* stop = iac ? static_cast<const std::uint8_t*>(iac) : end;
            AppendData(at, static_cast<std::size_t>(stop - at), out);
            at = stop;
            if (at < end) {
                parse = Parse::COMMAND;
                ++at;
            }
            break;
        }
        case Parse::COMMAND:
            Command(*at++, out);
            break;
        case Parse::OPTION:
            parse = Parse::DATA;
            Negotiate(verb, *at++, out);
            break;
        case Parse::SUB: {
            const std::uint8_t byte = *at++;
            if (byte == IAC)
                parse = Parse::SUB_COMMAND;
            else if (subLength < SUBNEGOTIATION_MAX)
                sub[subLength++] = byte;
            else
                subOverflow = true;
            break;
        }
        case Parse::SUB_COMMAND: {
            const std::uint8_t byte = *at++;
            if (byte == IAC) {
                parse = Parse::SUB;
                if (subLength < SUBNEGOTIATION_MAX)
                    sub[subLength++] = IAC;
                else
                    subOverflow = true;
            } else if (byte == SE) {
                parse = Parse::DATA;
                if (!subOverflow)
                    Subnegotiation(out);
            } else {
                // An unescaped command cannot be part of a subnegotiation: its end was lost. Drop
                // it and take the command, so that a missing SE cannot swallow the negotiation.
                Command(byte, out);
            }
            break;
        }
        }
    }
}

void Rfc2217Session::Command(std::uint8_t byte, Output& out)
{
    parse = Parse::DATA;
    if (byte == IAC) {
        AppendData(&byte, 1, out);
    } else if (byte >= WILL && byte <= DONT) {
        verb = byte;
        parse = Parse::OPTION;
    } else if (byte == SB) {
        parse = Parse::SUB;
        subLength = 0;
        subOverflow = false;
    }
    // NOP, GA, AYT, BRK, DM and the rest have no meaning for a serial line: ignored.
}

void Rfc2217Session::AppendData(const std::uint8_t* data, std::size_t length, Output& out)
{
    if (length == 0)
        return;
    if (ClientBinary()) {
        out.line.append(reinterpret_cast<const char*>(data), length);
        crPending = false;
        return;
    }
    // A client that has not agreed BINARY sends a bare CR as CR NUL: the NUL is not data.
    for (std::size_t i = 0; i < length; ++i) {
        if (crPending && data[i] == 0) {
            crPending = false;
            continue;
        }
        out.line.push_back(static_cast<char>(data[i]));
        crPending = data[i] == CR;
    }
}

void Rfc2217Session::Negotiate(std::uint8_t command, std::uint8_t option, Output& out)
{
    // WILL/WONT speak of the client's side of an option, DO/DONT of ours. Each side of each option
    // is NO, YES, ASKED (we offered, no answer yet) or REFUSED (not ours to agree, refused once).
    // Only a change of state is answered, so two sides that follow this can never loop.
    const Side side = command == WILL || command == WONT ? CLIENT : SERVER;
    const bool enable = command == WILL || command == DO;
    Option& state = options[side][option];
    const bool agreedBefore = ComPortAgreed();
    if (enable) {
        if (state == NO && Supported(option)) {
            state = YES;
            AppendBytes(out.client, {IAC, side == CLIENT ? DO : WILL, option});
        } else if (state == NO) {
            state = REFUSED;
            AppendBytes(out.client, {IAC, side == CLIENT ? DONT : WONT, option});
        } else if (state == ASKED) {
            state = YES;
        }
    } else if (state == YES) {
        state = NO;
        AppendBytes(out.client, {IAC, side == CLIENT ? DONT : WONT, option});
    } else if (state == ASKED) {
        state = NO;  // our offer refused
    }
    if (!agreedBefore && ComPortAgreed()) {
        out.comPortAgreed = true;
        modemDue = true;
    }
}

void Rfc2217Session::Subnegotiation(Output& out)
{
    if (subLength < 2 || sub[0] != OPTION_COM_PORT)
        return;
    const std::uint8_t code = sub[1];
    const std::uint8_t* value = sub + 2;
    const std::size_t length = subLength - 2;
    // A value longer than the command's is taken by its first bytes; a shorter one is no command.
    const auto command = [&](std::uint32_t v) { out.commands.push_back({code, v, out.line.size()}); };
    switch (code) {
    case SIGNATURE:
        // Empty asks for ours; a client's own signature needs no answer.
        if (length == 0)
            AppendReply(out.client, SIGNATURE, reinterpret_cast<const std::uint8_t*>(signature.data()),
                        signature.size());
        break;
    case Rfc2217Command::SET_BAUDRATE:
        if (length >= 4)
            command(std::uint32_t(value[0]) << 24 | std::uint32_t(value[1]) << 16 | std::uint32_t(value[2]) << 8 |
                    value[3]);
        break;
    case Rfc2217Command::SET_DATASIZE:
    case Rfc2217Command::SET_PARITY:
    case Rfc2217Command::SET_STOPSIZE:
        if (length >= 1)
            command(value[0]);
        break;
    case Rfc2217Command::SET_CONTROL:
        // Beyond the last code no group is known whose state could be answered.
        if (length >= 1 && value[0] <= Rfc2217Command::CONTROL_LAST)
            command(value[0]);
        break;
    case Rfc2217Command::PURGE_DATA:
        if (length >= 1 && value[0] >= 1 && value[0] <= 3)
            command(value[0]);
        break;
    case Rfc2217Command::FLOWCONTROL_SUSPEND:
    case Rfc2217Command::FLOWCONTROL_RESUME:
        command(0);
        break;
    case NOTIFY_LINESTATE:
        // A poll: answered from the last look at the line, which is at most one look old.
        Notify(out.client, NOTIFY_LINESTATE, lineNow & lineMask);
        break;
    case NOTIFY_MODEMSTATE:
        Notify(out.client, NOTIFY_MODEMSTATE, (modemNow | modemDeltas) & modemMask);
        modemDeltas = 0;
        break;
    case SET_LINESTATE_MASK:
    case SET_MODEMSTATE_MASK:
        if (length >= 1) {
            (code == SET_LINESTATE_MASK ? lineMask : modemMask) = value[0];
            AppendReply(out.client, code, value, 1);
        }
        break;
    default:
        break;  // a server's code or one the protocol does not define
    }
}

std::string Rfc2217Session::Reply(const Rfc2217Command& command, std::uint32_t valueInForce)
{
    std::uint8_t value[4] = {static_cast<std::uint8_t>(valueInForce)};
    std::size_t length = 1;
    switch (command.code) {
    case Rfc2217Command::SET_BAUDRATE:
        for (int i = 0; i < 4; ++i)
            value[i] = static_cast<std::uint8_t>(valueInForce >> (24 - 8 * i));
        length = 4;
        break;
    case Rfc2217Command::SET_DATASIZE:
    case Rfc2217Command::SET_PARITY:
    case Rfc2217Command::SET_STOPSIZE:
    case Rfc2217Command::SET_CONTROL:
    case Rfc2217Command::PURGE_DATA:
        break;
    default:
        return {};
    }
    std::string bytes;
    AppendReply(bytes, command.code, value, length);
    return bytes;
}

std::string Rfc2217Session::ModemState(std::uint8_t lines)
{
    const std::uint8_t now = lines & MODEM_LINES;
    const std::uint8_t changed = now ^ modemNow;
    // Change bits sit four places below their lines; ring counts its trailing edge only.
    const std::uint8_t deltas = (changed >> 4) & ((now & MODEM_RI) ? ~0x04 : 0xFF);
    modemNow = now;
    modemDeltas |= deltas;
    std::string bytes;
    if (!ComPortAgreed() || (!modemDue && ((changed | deltas) & modemMask) == 0))
        return bytes;
    // The first one tells the lines as they are; changes before it would mean nothing to the client.
    Notify(bytes, NOTIFY_MODEMSTATE, (modemDue ? now : now | modemDeltas) & modemMask);
    modemDue = false;
    modemDeltas = 0;
    return bytes;
}

std::string Rfc2217Session::LineState(std::uint8_t state)
{
    const std::uint8_t changed = state ^ lineNow;
    lineNow = state;
    std::string bytes;
    // Levels are told when they change; errors are events, told every time one is seen.
    if (ComPortAgreed() && (((changed & LINE_LEVELS) | (state & ~LINE_LEVELS)) & lineMask) != 0)
        Notify(bytes, NOTIFY_LINESTATE, state & lineMask);
    return bytes;
}

bool Rfc2217Session::ComPortAgreed() const
{
    // Either side will do: some clients only ever offer their own side.
    return options[CLIENT][OPTION_COM_PORT] == YES || options[SERVER][OPTION_COM_PORT] == YES;
}

bool Rfc2217Session::ClientBinary() const
{
    return options[CLIENT][OPTION_BINARY] == YES;
}

void Rfc2217Session::AppendEscaped(std::string& out, const std::uint8_t* data, std::size_t length)
{
    const std::uint8_t* const end = data + length;
    while (data < end) {
        const void* iac = std::memchr(data, IAC, static_cast<std::size_t>(end - data));
        const std::uint8_t* stop = iac ? static_cast<const std::uint8_t*>(iac) + 1 : end;
        out.append(reinterpret_cast<const char*>(data), static_cast<std::size_t>(stop - data));
        if (iac)
            out.push_back(static_cast<char>(IAC));
        data = stop;
    }
}

void Rfc2217Session::Notify(std::string& out, std::uint8_t code, std::uint8_t value)
{
    AppendReply(out, code, &value, 1);
}

void Rfc2217Session::AppendReply(std::string& out, std::uint8_t code, const std::uint8_t* value, std::size_t length)
{
    AppendBytes(out, {IAC, SB, OPTION_COM_PORT, static_cast<std::uint8_t>(code + REPLY_OFFSET)});
    AppendEscaped(out, value, length);
    AppendBytes(out, {IAC, SE});
}
