// A com-port client's answers in the exchange's output: whole pieces, never in a posted read's room, counted while they wait.
#include <gtest/gtest.h>

#include <string>

#include "bridge/core/ClientOutput.h"

TEST(ClientOutputAnswers, AnswersJoinInWholePiecesBesideTheReadReserveAndGoWithAGoneClient)
{
    std::string received;
    bool blocked = true;
    bool gone = false;
    // 64 bytes, 16 of them promised to a read the line has posted.
    ClientOutput output(
        64,
        [&](std::uintptr_t, const std::uint8_t* bytes, std::size_t length) -> long {
            if (gone)
                return ClientOutput::GONE;
            if (blocked)
                return ClientOutput::WOULD_BLOCK;
            received.append(reinterpret_cast<const char*>(bytes), length);
            return static_cast<long>(length);
        },
        16);
    const auto read = [&](const std::string& bytes) {
        output.Relay(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    };
    output.SetClient(7, true);
    read(std::string(20, 'x'));
    const std::string first(20, 'a'), second(20, 'b');
    output.AddProtocol(first);
    output.AddProtocol(second);  // would eat into the read's room: waits whole, not cut
    output.SendWaiting();
    EXPECT_EQ(output.ProtocolWaiting(), 20u);
    EXPECT_EQ(output.Room(), 24u);
    read(std::string(8, '\xff'));  // the posted read, every byte doubled, still fits whole
    EXPECT_EQ(output.Room(), 8u);

    blocked = false;
    output.SendWaiting();
    EXPECT_EQ(received, std::string(20, 'x') + first + std::string(16, '\xff') + second);
    EXPECT_EQ(output.ProtocolWaiting(), 0u);

    // A client that has gone takes its waiting answers with it, so that none holds the next.
    blocked = true;
    read(std::string(40, 'y'));
    output.AddProtocol(first);
    output.AddProtocol(second);
    output.SendWaiting();
    EXPECT_EQ(output.ProtocolWaiting(), 40u);
    blocked = false;
    gone = true;
    output.SendWaiting();
    EXPECT_EQ(output.ProtocolWaiting(), 0u);
    EXPECT_FALSE(output.HasWork());
}
