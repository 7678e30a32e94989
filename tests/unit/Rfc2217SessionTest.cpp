// The com-port telnet session as a real client meets it: negotiation, splits, CR NUL, commands, replies, notifications.
#include <gtest/gtest.h>

#include <string>

#include "bridge/core/Rfc2217Session.h"

namespace {
using S = Rfc2217Session;
using C = Rfc2217Command;

std::string B(std::initializer_list<int> bytes)
{
    std::string s;
    for (int b : bytes)
        s.push_back(static_cast<char>(b));
    return s;
}

S::Output Feed(S& session, const std::string& bytes)
{
    S::Output out;
    session.Feed(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out);
    return out;
}

std::string Sb(int code, const std::string& value) { return B({255, 250, 44, code}) + value + B({255, 240}); }
}

TEST(Rfc2217Session, NegotiatesLikeAClientExpectsAndRefusesOtherOptionsOnce)
{
    S session("Vextor 1.0");
    EXPECT_EQ(session.Opening(), B({255, 251, 0, 255, 253, 0, 255, 251, 3, 255, 253, 3}));
    // What pyserial sends on open: DO ECHO, WILL SGA, DO SGA, DO and WILL COM-PORT; then it agrees
    // to our BINARY offers. Only ECHO and the two COM-PORT requests are answered.
    auto out = Feed(session, B({255, 253, 1, 255, 251, 3, 255, 253, 3, 255, 253, 44, 255, 251, 44, 255, 253, 0, 255, 251, 0}));
    EXPECT_EQ(out.client, B({255, 252, 1, 255, 251, 44, 255, 253, 44}));
    EXPECT_TRUE(out.comPortAgreed);
    EXPECT_TRUE(session.ClientBinary());
    // Asked again: no answer, no loop. An unknown option is refused once per side, NOP ignored.
    out = Feed(session, B({255, 251, 44, 255, 253, 1, 255, 251, 24, 255, 241, 255, 251, 24, 255, 252, 24, 255, 251, 24, 255, 253, 24}));
    EXPECT_EQ(out.client, B({255, 254, 24, 255, 252, 24}));
    EXPECT_FALSE(out.comPortAgreed) << "told once only";
    // A client that drops BINARY gets it acknowledged, and its CR NUL is a CR again.
    out = Feed(session, B({255, 252, 0, 'a', '\r', 0, 'b'}));
    EXPECT_EQ(out.client, B({255, 254, 0}));
    EXPECT_EQ(out.line, "a\rb");
}

TEST(Rfc2217Session, TheCornersOfOneReceive)
{
    // Settings before any negotiation (as a client that does not wait), doubled 0xFF in data and in
    // a value, a CR NUL before BINARY, a two-byte command, and a subnegotiation with a lost end.
    // (That any split gives the same result is the fuzz target's property.)
    const std::string input = Sb(1, B({0, 0, 255, 255, 255, 255})) + B({'x', 255, 255, 'y', '\r', 0, 255, 241}) +
                              B({255, 251, 0, '\r', 0, 255, 250, 44, 2, 255, 253, 44}) + Sb(10, B({255, 255})) + "z";
    S reference("sig");
    const auto whole = Feed(reference, input);
    EXPECT_EQ(whole.line, B({'x', 255, 'y', '\r', '\r', 0, 'z'}));
    ASSERT_EQ(whole.commands.size(), 1u);
    EXPECT_EQ(whole.commands[0].value, 0xFFFFu);
    EXPECT_EQ(whole.client, B({255, 253, 0, 255, 251, 44}) + Sb(110, B({255, 255})));
}

TEST(Rfc2217Session, CommandsComeInOrderWithTheirPlaceInTheDataAndRepliesCarryTheValueInForce)
{
    S session("sig");
    const auto out = Feed(session, "ab" + Sb(1, B({0, 1, 0xC2, 0})) + Sb(2, B({7})) + "c" + Sb(3, B({3})) +
                                       Sb(4, B({0})) + Sb(5, B({8})) + Sb(5, B({20})) + Sb(12, B({2})) +
                                       Sb(12, B({4})) + Sb(8, "") + Sb(9, "") + Sb(1, B({0, 1})));
    // Their order, values and places are the fuzz target's property; here the values no command has.
    ASSERT_EQ(out.commands.size(), 8u) << "control 20, purge 4 and a short rate are no commands";
    EXPECT_EQ(out.commands[0].value, 115200u);
    EXPECT_EQ(out.commands[2].lineOffset, 3u);
    EXPECT_TRUE(out.client.empty()) << "settings are answered once the line has applied them";
    // A refused rate is answered with the old one; a 0xFF in a value is doubled.
    EXPECT_EQ(S::Reply(out.commands[0], 9600), Sb(101, B({0, 0, 0x25, 0x80})));
    EXPECT_EQ(S::Reply(out.commands[0], 0x1FFFF), Sb(101, B({0, 1, 255, 255, 255, 255})));
    EXPECT_EQ(S::Reply(out.commands[1], 8), Sb(102, B({8})));
    EXPECT_EQ(S::Reply(out.commands[4], C::CONTROL_DTR_OFF), Sb(105, B({9})));
    EXPECT_EQ(S::Reply(out.commands[5], 2), Sb(112, B({2})));
    EXPECT_EQ(S::Reply(out.commands[6], 0), "");
    EXPECT_EQ(C::ParityOfDcb(1), 2u);  // odd; the other ways are the line decision's
    EXPECT_EQ(C::StopSizeOfDcb(2), 2u);
}

TEST(Rfc2217Session, SignatureMasksAndNotificationsFollowTheClientsMasks)
{
    S session(B({'V', 255}));
    auto out = Feed(session, Sb(0, "") + Sb(0, "client's own") + Sb(11, B({0x30})) + Sb(10, B({0x0E})));
    EXPECT_EQ(out.client, Sb(100, B({'V', 255, 255})) + Sb(111, B({0x30})) + Sb(110, B({0x0E})));
    EXPECT_EQ(session.ModemState(S::MODEM_CTS), "") << "nothing before COM-PORT is agreed";
    EXPECT_EQ(session.LineState(S::LINE_OVERRUN), "");
    out = Feed(session, B({255, 251, 44}));
    ASSERT_TRUE(out.comPortAgreed);
    EXPECT_EQ(session.ModemState(S::MODEM_CTS | S::MODEM_CD), Sb(107, B({0x10}))) << "the first always, masked";
    EXPECT_EQ(session.ModemState(S::MODEM_CTS | S::MODEM_CD), "");
    EXPECT_EQ(session.ModemState(S::MODEM_CTS), "") << "CD is not in the mask";
    EXPECT_EQ(session.ModemState(S::MODEM_CTS | S::MODEM_DSR), Sb(107, B({0x30})));
    Feed(session, Sb(11, B({255, 255})));
    EXPECT_EQ(session.ModemState(S::MODEM_DSR), Sb(107, B({0x21}))) << "CTS fell: its change bit";
    EXPECT_EQ(Feed(session, Sb(7, "")).client, Sb(107, B({0x20}))) << "a poll is answered at once";
    // Line errors are told each time they are seen; unselected levels never.
    EXPECT_EQ(session.LineState(S::LINE_OVERRUN | S::LINE_DATA_READY), Sb(106, B({0x02})));
    EXPECT_EQ(session.LineState(S::LINE_OVERRUN), Sb(106, B({0x02})));
    EXPECT_EQ(session.LineState(S::LINE_HOLDING_EMPTY), "");
}

TEST(Rfc2217Session, OverlongSubnegotiationsAreDropped)
{
    S session("sig");
    const auto out = Feed(session, Sb(0, std::string(5000, 'x')) + Sb(10, B({1})) + "after");
    EXPECT_EQ(out.client, Sb(110, B({1})));
    EXPECT_EQ(out.line, "after");
}
