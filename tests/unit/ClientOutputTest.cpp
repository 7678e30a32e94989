// The exchange's output towards the data client against a fake socket: order, back-pressure, escaping, clients, purges, answers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bridge/core/ClientOutput.h"

namespace {
// A socket that takes at most `budget` bytes in all, and then, once `blocked`, nothing.
struct FakeSocket {
    std::string received;
    std::vector<std::uintptr_t> clients;  // which client each send went to
    std::size_t budget = ~std::size_t{0};
    bool blocked = false;
    bool gone = false;

    long Send(std::uintptr_t client, const std::uint8_t* bytes, std::size_t length)
    {
        if (gone)
            return ClientOutput::GONE;
        if (blocked || budget == 0)
            return ClientOutput::WOULD_BLOCK;
        const std::size_t taken = std::min(length, budget);
        budget -= taken;
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

TEST_F(ClientOutputTest, AGoneClientsOutputIsDroppedAndRoomIsKept)
{
    output.SetClient(7, false);
    socket.gone = true;
    Read("lost");
    EXPECT_FALSE(output.HasWork());
    EXPECT_EQ(output.Room(), 64u);
}

TEST_F(ClientOutputTest, AClientAWholeOutputBehindIsLetGoWithAnExactPrefix)
{
    output.SetClient(7, true);
    socket.budget = 11;  // takes 11 bytes, then nothing: it cuts the doubled 0xFF below in two
    std::string stream;
    const auto read = [&](const std::string& bytes) {
        stream += bytes;
        return output.Relay(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    };
    EXPECT_TRUE(read("0123456789\xff"));
    EXPECT_TRUE(read(std::string(60, 'a')));  // with the second half of the 0xFF: 61 of 64 wait
    EXPECT_FALSE(output.LetGo());
    EXPECT_FALSE(read(std::string(10, 'b'))) << "it does not fit: let go rather than cut";
    EXPECT_TRUE(output.LetGo());
    socket.budget = ~std::size_t{0};
    output.AddProtocol("<note>");
    output.SendWaiting();
    EXPECT_TRUE(read("more"));
    EXPECT_EQ(socket.received, "0123456789\xff") << "nothing after the let-go, the protocol's bytes included";

    output.SetClient(8, false);
    EXPECT_FALSE(output.LetGo()) << "the next client starts afresh";
    EXPECT_TRUE(read("new"));
    EXPECT_EQ(socket.received, "0123456789\xffnew");
}

TEST_F(ClientOutputTest, APurgeDropsTheLinesWaitingBytesAndKeepsTheProtocolsAndAHalfSentPair)
{
    output.SetClient(7, true);
    socket.budget = 3;
    Read("ab\xff" "cd");  // "ab" and the first half of the doubled 0xFF go
    output.AddProtocol("<reply>");
    output.SendWaiting();
    Read("ef");
    const std::uint32_t asker = output.Generation();
    output.Purge(asker);
    socket.budget = ~std::size_t{0};
    output.SendWaiting();
    Read("g");
    EXPECT_EQ(socket.received, "ab\xff\xff<reply>g");

    // A purge from a client since replaced leaves the newcomer's bytes alone.
    output.SetClient(8, false);
    socket.blocked = true;
    Read("new");
    output.Purge(asker);
    socket.blocked = false;
    output.SendWaiting();
    EXPECT_EQ(socket.received, "ab\xff\xff<reply>gnew");
}

TEST(ClientOutputAnswers, AnswersJoinInWholePiecesBesideTheReadReserveAndGoWithAGoneClient)
{
    FakeSocket socket;
    // 64 bytes, 16 of them promised to a read the line has posted.
    ClientOutput output(64, [&](std::uintptr_t c, const std::uint8_t* b, std::size_t n) { return socket.Send(c, b, n); }, 16);
    const auto read = [&](const std::string& bytes) {
        output.Relay(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    };
    output.SetClient(7, true);
    socket.blocked = true;
    read(std::string(20, 'x'));
    const std::string first(20, 'a'), second(20, 'b');
    output.AddProtocol(first);
    output.AddProtocol(second);  // would eat into the read's room: waits whole, not cut
    output.SendWaiting();
    EXPECT_EQ(output.ProtocolWaiting(), 20u);
    EXPECT_EQ(output.Room(), 24u);
    read(std::string(8, '\xff'));  // the posted read, every byte doubled, still fits whole
    EXPECT_EQ(output.Room(), 8u);

    socket.blocked = false;
    output.SendWaiting();
    EXPECT_EQ(socket.received, std::string(20, 'x') + first + std::string(16, '\xff') + second);
    EXPECT_EQ(output.ProtocolWaiting(), 0u);

    // A client that has gone takes its waiting answers with it, so that none holds the next.
    socket.blocked = true;
    read(std::string(40, 'y'));
    output.AddProtocol(first);
    output.AddProtocol(second);
    output.SendWaiting();
    EXPECT_EQ(output.ProtocolWaiting(), 40u);
    socket.gone = true;
    output.SendWaiting();
    EXPECT_EQ(output.ProtocolWaiting(), 0u);
    EXPECT_FALSE(output.HasWork());
}
