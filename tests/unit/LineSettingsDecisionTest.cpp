// What the line is set to for the panel, a speed record and each com-port request, and what the client is answered.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "bridge/core/LineSettingsDecision.h"
#include "bridge/core/Rfc2217Session.h"

namespace {
using D = LineSettingsDecision;
using C = Rfc2217Command;

// A port as a driver might give it: 9600 bit/s, 8N1, no flow control, DTR on, RTS off.
LineSettings Port9600()
{
    LineSettings port;
    port.baudRate = 9600;
    return port;
}

Rfc2217Command Request(std::uint8_t code, std::uint32_t value) { return {code, value, 0}; }
}

TEST(LineSettingsDecision, PanelSettingsApplyWhereGivenAndTheRestIsAPlainEightBitLine)
{
    LineSettings port = Port9600();
    port.byteSize = 7;
    port.parity = 2;
    port.stopBits = 2;
    port.outxCtsFlow = port.outX = port.inX = port.dsrSensitivity = port.abortOnError = true;
    port.rtsControl = LineSettings::RTS_HANDSHAKE;
    port.dtrControl = LineSettings::DTR_HANDSHAKE;

    const LineSettings kept = D::ForPanel(SerialParameters{}, port);
    EXPECT_EQ(kept.baudRate, 9600u) << "no selection keeps the port's own";
    EXPECT_EQ(kept.parity, 2);
    EXPECT_EQ(kept.stopBits, 2);
    EXPECT_EQ(kept.byteSize, 8);
    EXPECT_FALSE(kept.outxCtsFlow || kept.outxDsrFlow || kept.outX || kept.inX || kept.dsrSensitivity || kept.abortOnError);
    EXPECT_FALSE(kept.parityCheck);
    EXPECT_TRUE(kept.binary);
    EXPECT_EQ(kept.dtrControl, LineSettings::DTR_ENABLED);
    EXPECT_EQ(kept.rtsControl, LineSettings::RTS_DISABLED);

    const LineSettings set = D::ForPanel(SerialParameters{19200, 0, 1}, port);
    EXPECT_EQ(set.baudRate, 19200u);
    EXPECT_EQ(set.parity, 0);
    EXPECT_EQ(set.stopBits, 1);
}

TEST(LineSettingsDecision, ASpeedRecordChangesTheRateAloneAndOnlyWhenItDiffers)
{
    EXPECT_FALSE(D::ForSpeed(9600, Port9600()).setState);
    LineSettings port = Port9600(), expected = Port9600();
    port.parity = expected.parity = 2;
    expected.baudRate = 19200;
    const auto faster = D::ForSpeed(19200, port);
    EXPECT_TRUE(faster.setState && faster.wanted.SameDcb(expected));
}

TEST(LineSettingsDecision, ComPortRequestsMapOntoTheLine)
{
    struct Row {
        const char* what;
        std::uint8_t code;
        std::uint32_t value;
        std::function<void(LineSettings&)> before;    // the port's state ahead of the request
        std::function<void(LineSettings&)> expected;  // what the request makes of it
        D::Signal signal = D::Signal::NOTHING;
        bool signalOn = false;
    };
    const auto none = [](LineSettings&) {};
    const auto hardwareFlow = [](LineSettings& s) {
        s.outxCtsFlow = true;
        s.outX = s.inX = true;
        s.rtsControl = LineSettings::RTS_HANDSHAKE;
    };
    const Row rows[] = {
        {"baud query", C::SET_BAUDRATE, 0, none, none},
        {"data size 7", C::SET_DATASIZE, 7, none, [](LineSettings& s) { s.byteSize = 7; }},
        {"data size 9 is no size", C::SET_DATASIZE, 9, none, none},
        {"parity even", C::SET_PARITY, 3, none, [](LineSettings& s) { s.parity = 2; s.parityCheck = true; }},
        {"parity none", C::SET_PARITY, 1, [](LineSettings& s) { s.parity = 1; s.parityCheck = true; },
         [](LineSettings& s) { s.parity = 0; s.parityCheck = false; }},
        {"parity 6 is no parity", C::SET_PARITY, 6, none, none},
        {"two stop bits", C::SET_STOPSIZE, 2, none, [](LineSettings& s) { s.stopBits = 2; }},
        {"one and a half", C::SET_STOPSIZE, 3, none, [](LineSettings& s) { s.stopBits = 1; }},
        {"flow query", C::SET_CONTROL, C::CONTROL_FLOW_QUERY, hardwareFlow, none},
        {"break on", C::SET_CONTROL, C::CONTROL_BREAK_ON, none, [](LineSettings& s) { s.breakOn = true; }, D::Signal::BREAK, true},
        {"DTR off", C::SET_CONTROL, C::CONTROL_DTR_OFF, none, [](LineSettings& s) { s.dtrOn = false; }, D::Signal::DTR, false},
        {"RTS on", C::SET_CONTROL, C::CONTROL_RTS_ON, none, [](LineSettings& s) { s.rtsOn = true; }, D::Signal::RTS, true},
    };
    for (const Row& row : rows) {
        LineSettings current = Port9600();
        row.before(current);
        LineSettings expected = current;
        row.expected(expected);
        const auto change = D::ForComPort(Request(row.code, row.value), current);
        EXPECT_TRUE(change.wanted.SameDcb(expected)) << row.what;
        EXPECT_EQ(change.setState, !expected.SameDcb(current)) << row.what;
        EXPECT_EQ(change.signal, row.signal) << row.what;
        if (row.signal != D::Signal::NOTHING) {
            EXPECT_EQ(change.signalOn, row.signalOn) << row.what;
            EXPECT_EQ(change.wanted.dtrOn, expected.dtrOn) << row.what;
            EXPECT_EQ(change.wanted.rtsOn, expected.rtsOn) << row.what;
            EXPECT_EQ(change.wanted.breakOn, expected.breakOn) << row.what;
        }
        EXPECT_FALSE(change.purge) << row.what;
        EXPECT_EQ(change.answerNow, row.code == C::SET_CONTROL) << row.what;
    }
}

namespace {
// One kind of flow control each way, as a driver may hold them.
enum class Flow { NONE, XONXOFF, HARDWARE, MODEM_PAIR };  // MODEM_PAIR: DSR outbound, DTR inbound

void SetOut(LineSettings& s, Flow flow)
{
    s.outX = flow == Flow::XONXOFF;
    s.outxCtsFlow = flow == Flow::HARDWARE;
    s.outxDsrFlow = flow == Flow::MODEM_PAIR;
}

void SetIn(LineSettings& s, Flow flow)
{
    s.inX = flow == Flow::XONXOFF;
    s.rtsControl = flow == Flow::HARDWARE ? LineSettings::RTS_HANDSHAKE : s.rtsOn ? LineSettings::RTS_ENABLED : LineSettings::RTS_DISABLED;
    s.dtrControl = flow == Flow::MODEM_PAIR ? LineSettings::DTR_HANDSHAKE : s.dtrOn ? LineSettings::DTR_ENABLED : LineSettings::DTR_DISABLED;
}
}

TEST(LineSettingsDecision, EachFlowCodeSetsItsWholeDirectionFromEveryStartingState)
{
    struct Code {
        std::uint8_t code;
        std::optional<Flow> out;  // what the outbound fields become; none: they stay
        std::optional<Flow> in;   // the same for the inbound fields
    };
    const Code codes[] = {
        {C::CONTROL_FLOW_NONE, Flow::NONE, Flow::NONE},
        {C::CONTROL_FLOW_XONXOFF, Flow::XONXOFF, Flow::XONXOFF},
        {C::CONTROL_FLOW_HARDWARE, Flow::HARDWARE, Flow::HARDWARE},
        {C::CONTROL_FLOW_DSR, Flow::MODEM_PAIR, Flow::MODEM_PAIR},
        {C::CONTROL_FLOW_DCD, std::nullopt, std::nullopt},  // no driver field for it: nothing changes
        {C::CONTROL_INFLOW_NONE, std::nullopt, Flow::NONE},
        {C::CONTROL_INFLOW_XONXOFF, std::nullopt, Flow::XONXOFF},
        {C::CONTROL_INFLOW_HARDWARE, std::nullopt, Flow::HARDWARE},
        {C::CONTROL_INFLOW_DTR, std::nullopt, Flow::MODEM_PAIR},
    };
    const Flow flows[] = {Flow::NONE, Flow::XONXOFF, Flow::HARDWARE, Flow::MODEM_PAIR};
    for (const Code& code : codes)
        for (const Flow out : flows)
            for (const Flow in : flows)
                for (const bool linesOn : {false, true}) {
                    LineSettings current = Port9600();
                    current.rtsOn = current.dtrOn = linesOn;
                    SetOut(current, out);
                    SetIn(current, in);
                    LineSettings expected = current;
                    if (code.out)
                        SetOut(expected, *code.out);
                    if (code.in)
                        SetIn(expected, *code.in);
                    const auto what = ::testing::Message() << "code " << int(code.code) << " from out " << int(out)
                                                           << " in " << int(in) << " lines " << linesOn;
                    const auto change = D::ForComPort(Request(C::SET_CONTROL, code.code), current);
                    EXPECT_TRUE(change.wanted.SameDcb(expected)) << what;
                    EXPECT_EQ(change.setState, !expected.SameDcb(current)) << what;
                    EXPECT_EQ(change.signal, D::Signal::NOTHING) << what;
                    // Carried out, the line answers the client with what it asked for.
                    if (code.out || code.in) {
                        EXPECT_EQ(D::Answer(Request(C::SET_CONTROL, code.code), change.wanted), code.code) << what;
                    }
                    if (code.out) {
                        EXPECT_EQ(change.wanted.FlowControl(), *code.out != Flow::NONE) << what;
                    }
                }
}

TEST(LineSettingsDecision, AHandshakeOnCtsAloneCountsAsFlowControl)
{
    // How Wine reads RTS/CTS back: one termios flag for both ways.
    LineSettings line = Port9600();
    EXPECT_FALSE(line.FlowControl());
    line.outxCtsFlow = true;
    line.rtsControl = LineSettings::RTS_ENABLED;
    EXPECT_TRUE(line.FlowControl());
}

TEST(LineSettingsDecision, TheLineStateTellsTheDriversErrorsAndWaitingBytes)
{
    using S = Rfc2217Session;
    using L = LineSettings;
    EXPECT_EQ(D::LineState(0, 0), 0);
    EXPECT_EQ(D::LineState(0, 5), S::LINE_DATA_READY);
    EXPECT_EQ(D::LineState(L::FAULT_QUEUE_OVERFLOW, 0), S::LINE_OVERRUN) << "bytes lost either way";
    EXPECT_EQ(D::LineState(L::FAULT_OVERRUN | L::FAULT_PARITY | L::FAULT_FRAMING | L::FAULT_BREAK, 1),
              S::LINE_DATA_READY | S::LINE_OVERRUN | S::LINE_PARITY | S::LINE_FRAMING | S::LINE_BREAK);
}

TEST(LineSettingsDecision, PurgeNamesItsQueuesAndIsAnsweredWithItsOwnValue)
{
    const auto both = D::ForComPort(Request(C::PURGE_DATA, 3), Port9600());
    EXPECT_TRUE(both.purge);
    EXPECT_EQ(both.purgeQueues, 3);
    EXPECT_TRUE(both.answerNow);
    EXPECT_FALSE(both.setState);
    EXPECT_EQ(D::Answer(Request(C::PURGE_DATA, 2), Port9600()), 2u);
}

TEST(LineSettingsDecision, AnswersTellTheSettingInForceInTheProtocolsTerms)
{
    LineSettings line = Port9600();
    line.byteSize = 7;
    line.parity = 2;
    line.stopBits = 1;
    EXPECT_EQ(D::Answer(Request(C::SET_BAUDRATE, 0), line), 9600u);
    EXPECT_EQ(D::Answer(Request(C::SET_DATASIZE, 8), line), 7u);
    EXPECT_EQ(D::Answer(Request(C::SET_PARITY, 0), line), 3u);
    EXPECT_EQ(D::Answer(Request(C::SET_STOPSIZE, 0), line), 3u);

    struct Row {
        const char* what;
        std::uint8_t code;
        std::function<void(LineSettings&)> line;
        std::uint32_t answer;
    };
    const Row rows[] = {
        {"flow none", C::CONTROL_FLOW_QUERY, [](LineSettings&) {}, C::CONTROL_FLOW_NONE},
        {"flow xon/xoff", C::CONTROL_FLOW_XONXOFF, [](LineSettings& s) { s.outX = true; }, C::CONTROL_FLOW_XONXOFF},
        {"hardware beats xon/xoff", C::CONTROL_FLOW_QUERY, [](LineSettings& s) { s.outX = s.outxCtsFlow = true; },
         C::CONTROL_FLOW_HARDWARE},
        {"DSR flow answers the flow group", C::CONTROL_FLOW_DSR, [](LineSettings&) {}, C::CONTROL_FLOW_NONE},
        {"break", C::CONTROL_BREAK_QUERY, [](LineSettings& s) { s.breakOn = true; }, C::CONTROL_BREAK_ON},
        {"DTR", C::CONTROL_DTR_QUERY, [](LineSettings& s) { s.dtrOn = false; }, C::CONTROL_DTR_OFF},
        {"RTS", C::CONTROL_RTS_ON, [](LineSettings& s) { s.rtsOn = true; }, C::CONTROL_RTS_ON},
        {"inbound none", C::CONTROL_INFLOW_QUERY, [](LineSettings&) {}, C::CONTROL_INFLOW_NONE},
        {"inbound xon/xoff", C::CONTROL_INFLOW_QUERY, [](LineSettings& s) { s.inX = true; }, C::CONTROL_INFLOW_XONXOFF},
        {"inbound hardware", C::CONTROL_INFLOW_DTR,
         [](LineSettings& s) { s.inX = true; s.rtsControl = LineSettings::RTS_HANDSHAKE; }, C::CONTROL_INFLOW_HARDWARE},
    };
    for (const Row& row : rows) {
        LineSettings inForce = Port9600();
        row.line(inForce);
        EXPECT_EQ(D::Answer(Request(C::SET_CONTROL, row.code), inForce), row.answer) << row.what;
    }
}
