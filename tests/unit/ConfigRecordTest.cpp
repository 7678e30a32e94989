// Configuration records however the client split them, the speed list's rule for them, and the log's entry texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "bridge/core/ConfigRecordStream.h"
#include "bridge/core/SerialEncodings.h"
#include "bridge/core/TrafficLogFormat.h"

namespace {
std::vector<ConfigRecord> Feed(ConfigRecordStream& stream, const std::vector<std::uint8_t>& bytes, std::size_t step)
{
    std::vector<ConfigRecord> records;
    for (std::size_t at = 0; at < bytes.size(); at += step) {
        stream.Append(bytes.data() + at, std::min(step, bytes.size() - at));
        while (auto record = stream.Next())
            records.push_back(*record);
    }
    return records;
}
}

TEST(ConfigRecordStream, EverySplitGivesTheSameRecordsNineBytesEachWhateverTheCode)
{
    // A speed record for 9600, an unknown code with a little-endian value, and four bytes of the next.
    const std::vector<std::uint8_t> bytes = {3,    0,    0,    0,    0xEE, 0x80, 0x25, 0, 0,   0xFF, 0xFF,
                                             0xFF, 0x7F, 0,    0x00, 0xC2, 0x01, 0x00, 3, 0, 0,    0};
    for (std::size_t step = 1; step <= bytes.size(); ++step) {
        ConfigRecordStream stream;
        const auto records = Feed(stream, bytes, step);
        ASSERT_EQ(records.size(), 2u) << "step " << step;
        EXPECT_EQ(records[0].code, ConfigRecord::CFG_SPEED);
        EXPECT_EQ(records[0].value, 9600u);
        EXPECT_EQ(records[1].code, 0x7FFFFFFFu);
        EXPECT_EQ(records[1].value, 115200u);
        EXPECT_EQ(stream.Pending(), 4u) << "the incomplete record waits for the rest";
    }
}

TEST(ConfigRecordStream, AWholeChunkAlwaysFitsAndNothingPastTheCapacityIsTaken)
{
    ConfigRecordStream stream;
    const std::vector<std::uint8_t> chunk(1020, 0x41);
    for (int round = 0; round < 50; ++round) {
        ASSERT_GE(stream.Room(), chunk.size());
        EXPECT_EQ(stream.Append(chunk.data(), chunk.size()), chunk.size());
        while (stream.Next()) {
        }
        EXPECT_LT(stream.Pending(), ConfigRecord::SIZE);
    }
    // Without parsing, the buffer takes what fits and no more.
    ConfigRecordStream full;
    const std::vector<std::uint8_t> big(3000, 1);
    EXPECT_EQ(full.Append(big.data(), big.size()), ConfigRecordStream::CAPACITY);
    EXPECT_EQ(full.Append(big.data(), 1), 0u);
}

TEST(SerialEncodings, TheSpeedListFollowsARecordForFourRatesOnly)
{
    EXPECT_EQ(SerialEncodings::SpeedIndexAfterRecord(2400), 4);
    EXPECT_EQ(SerialEncodings::SpeedIndexAfterRecord(4800), 5);
    EXPECT_EQ(SerialEncodings::SpeedIndexAfterRecord(9600), 7);
    EXPECT_EQ(SerialEncodings::SpeedIndexAfterRecord(19200), 8);
    for (std::uint32_t other : {38400u, 115200u, 110u, 12345u, 0xFFFFFFFFu})
        EXPECT_EQ(SerialEncodings::SpeedIndexAfterRecord(other), -1) << other;
}

TEST(TrafficLogFormat, EntriesStartWithALineFeedAndHaveNoTerminator)
{
    EXPECT_EQ(TrafficLogFormat::ClientPrefix(5001), "\nTCP(5001):");
    EXPECT_EQ(std::string(TrafficLogFormat::EXCHANGE_PREFIX), "\nCentrala:");
    EXPECT_EQ(sizeof TrafficLogFormat::EXCHANGE_PREFIX - 1, 10u);
    EXPECT_EQ(TrafficLogFormat::SpeedRequest(5002, 9600), "\nTCP(5002): CFG_SPEED [9600]");
    EXPECT_EQ(TrafficLogFormat::SpeedSet(5002, 9600), "\nTCP(5002): SUCCESS of SetCommState(9600)");
    EXPECT_EQ(TrafficLogFormat::SpeedRefused(5002, 38400), "\nTCP(5002): ERROR of SetCommState(38400)");
    EXPECT_EQ(TrafficLogFormat::StateUnreadable(5002), "\nTCP(5002): ERROR of GetCommState()");
    // Rates print as signed 32-bit numbers.
    EXPECT_EQ(TrafficLogFormat::SpeedRequest(7, 0xFFFFFFFFu), "\nTCP(7): CFG_SPEED [-1]");
}
