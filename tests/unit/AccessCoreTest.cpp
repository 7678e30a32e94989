// Who may reach the bridge: allow-list parsing and matching, the takeover rule, Listen's checks, trace lines.
#include <gtest/gtest.h>

#include "bridge/core/ClientAdmission.h"
#include "bridge/core/ClientAllowList.h"
#include "bridge/core/ConnectionTraceFormat.h"
#include "bridge/core/Ipv4Text.h"
#include "bridge/core/ListenCheck.h"

namespace {
std::uint32_t Ip(const char* text)
{
    return Ipv4Text::Parse(text).value();
}
}

TEST(ClientAllowList, AddressesAndRangesSeparatedByCommasAndBlanks)
{
    ClientAllowList list;
    ASSERT_FALSE(ClientAllowList::Parse(" 192.168.1.7/24,10.0.0.5 ,, 172.16.0.0/12\t127.0.0.2", list));
    EXPECT_FALSE(list.AllowsAnyone());
    for (const char* allowed : {"192.168.1.0", "192.168.1.255", "10.0.0.5", "172.31.255.255", "127.0.0.2"})
        EXPECT_TRUE(list.Allows(Ip(allowed))) << allowed;
    for (const char* refused : {"192.168.2.1", "10.0.0.6", "172.32.0.0", "127.0.0.3"})
        EXPECT_FALSE(list.Allows(Ip(refused))) << refused;

    ClientAllowList everyone;
    ASSERT_FALSE(ClientAllowList::Parse(" , ", everyone));
    EXPECT_TRUE(everyone.AllowsAnyone() && everyone.Allows(Ip("8.8.8.8")));
    ASSERT_FALSE(ClientAllowList::Parse("0.0.0.0/0", everyone));
    EXPECT_TRUE(everyone.Allows(Ip("255.255.255.255")));
}

TEST(ClientAllowList, TheFirstBadEntryIsNamedAndTheListKept)
{
    ClientAllowList list;
    ASSERT_FALSE(ClientAllowList::Parse("10.0.0.1", list));
    for (const char* bad : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "01.2.3.4", "1.2.3.4/33", "1.2.3.4/", "+1.2.3.4",
                            "1.2.3.4x", "1.2.3.4/2a", "1..3.4", "1234.1.1.1", "host", "1.2.3.4/24/8"}) {
        const std::string text = std::string("10.0.0.9, ") + bad + " 10.0.0.8x";
        auto failure = ClientAllowList::Parse(text, list);
        ASSERT_TRUE(failure) << bad;
        EXPECT_EQ(failure->text, bad);
        EXPECT_EQ(failure->offset, 10u);
    }
    EXPECT_TRUE(list.Allows(Ip("10.0.0.1")));
    EXPECT_FALSE(list.Allows(Ip("10.0.0.9")));
}

TEST(ClientAdmission, AllowListFirstThenTheTakeoverRule)
{
    using V = ClientAdmission::Verdict;
    ClientAllowList local;
    ASSERT_FALSE(ClientAllowList::Parse("127.0.0.0/8", local));
    const std::uint32_t me = Ip("127.0.0.2"), other = Ip("127.0.0.3"), outsider = Ip("10.0.0.1");
    const struct {
        int setting;
        V alone, sameAddress, otherAddress;
    } rules[] = {{0, V::ACCEPT, V::TAKE_OVER, V::TAKE_OVER},
                 {1, V::ACCEPT, V::REFUSE_LINE_IN_USE, V::REFUSE_LINE_IN_USE},
                 {2, V::ACCEPT, V::TAKE_OVER, V::REFUSE_LINE_IN_USE},
                 {7, V::ACCEPT, V::TAKE_OVER, V::TAKE_OVER}};
    for (const auto& rule : rules) {
        ClientAdmission admission(local, ClientAdmission::TakeoverFromSetting(rule.setting));
        EXPECT_EQ(admission.Decide(me, std::nullopt), rule.alone) << rule.setting;
        EXPECT_EQ(admission.Decide(me, me), rule.sameAddress) << rule.setting;
        EXPECT_EQ(admission.Decide(other, me), rule.otherAddress) << rule.setting;
        EXPECT_EQ(admission.Decide(outsider, std::nullopt), V::REFUSE_NOT_ALLOWED) << rule.setting;
        EXPECT_EQ(admission.Decide(outsider, me), V::REFUSE_NOT_ALLOWED) << rule.setting;
    }
}

TEST(ListenCheck, PortsAddressesAndTheLogReceiverOnTheBridgeItself)
{
    using F = ListenCheck::Field;
    auto fieldOf = [](const BridgeOptions& options, std::vector<std::uint32_t> own = {}) {
        auto failure = ListenCheck::Check(options, own);
        return failure ? std::optional<F>(failure->field) : std::nullopt;
    };
    BridgeOptions options;
    options.listenPort = 5000;
    options.configPort = 5002;
    options.logAddress = "127.0.0.1";
    options.logPort = 5000;
    EXPECT_FALSE(ListenCheck::Check(options));

    // "Odbiorca" ticked with the receiver on one of the bridge's own ports (its data port is run end to end).
    options.logToTcp = true;
    options.logPort = 5002;
    EXPECT_EQ(fieldOf(options), F::LOG_PORT);
    options.configPortEnabled = false;
    EXPECT_FALSE(fieldOf(options));
    options.configPortEnabled = true;
    for (const char* receiver : {"127.0.0.5", "LocalHost", "0.0.0.0"}) {
        options.logAddress = receiver;
        EXPECT_EQ(fieldOf(options), F::LOG_PORT) << receiver;
    }
    options.logAddress = "192.168.1.10";
    EXPECT_FALSE(fieldOf(options));
    EXPECT_EQ(fieldOf(options, {Ip("192.168.1.10")}), F::LOG_PORT);
    // A listener bound to one address is reached only through that one.
    options.listenAddress = "192.168.1.10";
    EXPECT_EQ(fieldOf(options), F::LOG_PORT);
    options.logAddress = "127.0.0.1";
    EXPECT_FALSE(fieldOf(options));
    options.listenAddress = "127.0.0.1";
    EXPECT_EQ(fieldOf(options), F::LOG_PORT);
    options.logAddress = "127.0.0.2";
    EXPECT_FALSE(fieldOf(options));

    const struct {
        void (*change)(BridgeOptions&);
        F field;
    } faults[] = {{[](BridgeOptions& o) { o.listenPort = 0; }, F::LISTEN_PORT},
                  {[](BridgeOptions& o) { o.listenPort = 70000; }, F::LISTEN_PORT},
                  {[](BridgeOptions& o) { o.configPort = -1; }, F::CONFIG_PORT},
                  {[](BridgeOptions& o) { o.rfc2217Port = 5002; }, F::RFC2217_PORT},
                  {[](BridgeOptions& o) { o.rfc2217Port = 65536; }, F::RFC2217_PORT},
                  {[](BridgeOptions& o) { o.listenAddress = "localhost"; }, F::LISTEN_ADDRESS},
                  {[](BridgeOptions& o) { o.allowedClients = "10.0.0.1, 10.0.0.300"; }, F::ALLOWED_CLIENTS},
                  {[](BridgeOptions& o) { o.logPort = 65536; }, F::LOG_PORT}};
    for (const auto& fault : faults) {
        BridgeOptions broken = options;
        fault.change(broken);
        EXPECT_EQ(fieldOf(broken), fault.field);
    }
    // Off, the configuration port is not looked at; a log receiver that is off neither.
    options.configPortEnabled = false;
    options.configPort = 5000;
    options.logToTcp = false;
    options.logPort = 0;
    EXPECT_FALSE(fieldOf(options));
}

TEST(ConnectionTraceFormat, OneLinePerEventWithLocalTimeAndMilliseconds)
{
    using C = ConnectionTraceFormat::Channel;
    EXPECT_EQ(ConnectionTraceFormat::Line({2027, 1, 2, 3, 4, 5, 6}, "error disk\r\nfull"),
              "2027-01-02 03:04:05.006 error disk  full\r\n");
    EXPECT_EQ(ConnectionTraceFormat::RefusedLineInUse(C::CONFIG, Ip("10.0.0.1"), 1), "config 10.0.0.1:1 refused (line in use)");
    EXPECT_EQ(ConnectionTraceFormat::SpeedRefused(Ip("10.0.0.1"), 2, 12345), "config 10.0.0.1:2 speed 12345 refused");
    EXPECT_EQ(ConnectionTraceFormat::Listen("127.0.0.1", 5000, 0, 5003),
              "listen 127.0.0.1 data 5000 config off rfc2217 5003");
}
