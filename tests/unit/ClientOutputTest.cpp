// The exchange's output towards the data client against a fake socket: order, back-pressure, escaping, clients, suspension.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/core/ClientOutput.h"

namespace {
// A socket that takes at most `window` bytes a call and then, once `blocked`, nothing.
struct FakeSocket {
    std::string received;
    std::vector<std::uintptr_t> clients;  // which client each send went to
    std::size_t window = 1 << 20;
    bool blocked = false;
    bool gone = false;

    long Send(std::uintptr_t client, const std::uint8_t* bytes, std::size_t length)
    {
        if (gone)
            return ClientOutput::GONE;
        if (blocked)
            return ClientOutput::WOULD_BLOCK;
        const std::size_t taken = std::min(length, window);
        received.append(reinterpret_cast<const char*>(bytes), taken);
        clients.push_back(client);
        return static_cast<long>(taken);
    }
};

class ClientOutputTest : public ::testing::Test {
protected:
    FakeSocket socket;
    ClientOutput output{64, [this](std::uintptr_t c, const std::uint8_t* b, std::size_t n) { return socket.Send(c, b, n); }};

    void Read(const std::string& bytes) { output.Relay(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()); }
};
}

TEST_F(ClientOutputTest, PartialSendsKeepTheRestInOrder)
{
    output.SetClient(7, false);
    socket.window = 3;
    Read("abcdefgh");
    EXPECT_EQ(socket.received, "abcdefgh");
    EXPECT_EQ(socket.clients, (std::vector<std::uintptr_t>{7, 7, 7}));
    EXPECT_FALSE(output.HasWork());
}

TEST_F(ClientOutputTest, WouldBlockStopsUntilTheClientTakesMore)
{
    output.SetClient(7, false);
    socket.blocked = true;
    Read("abc");
    EXPECT_TRUE(output.Blocked());
    Read("def");  // waits behind the first, no send tried meanwhile
    EXPECT_EQ(socket.received, "");
    socket.blocked = false;
    output.SendWaiting();
    EXPECT_FALSE(output.Blocked());
    EXPECT_EQ(socket.received, "abcdef");
}

TEST_F(ClientOutputTest, AComPortClientGetsEveryFFDoubledAndProtocolBytesBetweenReads)
{
    output.SetClient(7, true);
    socket.blocked = true;
    Read("a\xff" "b");
    output.AddProtocol("<reply>");
    EXPECT_TRUE(output.HasWork());
    output.SendWaiting();
    Read("\xff");
    socket.blocked = false;
    output.SendWaiting();
    EXPECT_EQ(socket.received, "a\xff\xff" "b<reply>\xff\xff");

    socket.received.clear();
    output.SetClient(8, false);
    Read("\xff");
    EXPECT_EQ(socket.received, "\xff") << "a data client's 0xFF is not doubled";
}

TEST_F(ClientOutputTest, ANewClientDropsWhatTheOldOneHadNotTaken)
{
    output.SetClient(7, true);
    socket.blocked = true;
    Read("old");
    output.AddProtocol("old reply");
    output.SetClient(8, false);
    EXPECT_TRUE(output.HasWork());
    socket.blocked = false;
    output.SendWaiting();
    Read("new");
    EXPECT_EQ(socket.received, "new");
    EXPECT_EQ(socket.clients, (std::vector<std::uintptr_t>{8}));

    output.SetClient(ClientOutput::NO_CLIENT, false);
    Read("nobody's");
    EXPECT_EQ(socket.received, "new") << "read with no client: dropped";
}

TEST_F(ClientOutputTest, SuspensionHoldsTheBytesUntilResumed)
{
    output.SetClient(7, false);
    output.Suspend(true);
    Read("held");
    EXPECT_EQ(socket.received, "");
    output.Suspend(false);
    EXPECT_TRUE(output.HasWork());
    output.SendWaiting();
    EXPECT_EQ(socket.received, "held");
}

TEST_F(ClientOutputTest, AGoneClientsOutputIsDroppedAndRoomIsKept)
{
    output.SetClient(7, false);
    socket.gone = true;
    Read("lost");
    EXPECT_FALSE(output.HasWork());
    EXPECT_EQ(output.Room(), 64u);
}
