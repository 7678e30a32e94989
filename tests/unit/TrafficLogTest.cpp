// Configuration records split anywhere and the log's entry texts, byte for byte.
#include <gtest/gtest.h>

#include <vector>

#include "bridge/ConfigRecord.h"
#include "bridge/TrafficLogFormat.h"

TEST(ConfigRecord, NeedsAllNineBytesAndReadsLittleEndian)
{
    const std::vector<std::uint8_t> record = {3, 0, 0, 0, 0xEE, 0x80, 0x25, 0, 0};
    for (std::size_t count = 0; count < ConfigRecord::SIZE; ++count)
        EXPECT_FALSE(ConfigRecord::Front(record.data(), count)) << count;
    auto parsed = ConfigRecord::Front(record.data(), record.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->code, ConfigRecord::CFG_SPEED);
    EXPECT_EQ(parsed->value, 9600u);
}

TEST(ConfigRecord, UnknownCodesAreRecordsOfTheSameSize)
{
    const std::vector<std::uint8_t> bytes = {0xFF, 0xFF, 0xFF, 0x7F, 0, 0x00, 0xC2, 0x01, 0x00};
    auto parsed = ConfigRecord::Front(bytes.data(), bytes.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->code, 0x7FFFFFFFu);
    EXPECT_EQ(parsed->value, 115200u);
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
}

TEST(TrafficLogFormat, RatesPrintAsSigned32BitNumbers)
{
    EXPECT_EQ(TrafficLogFormat::SpeedRequest(7, 0xFFFFFFFFu), "\nTCP(7): CFG_SPEED [-1]");
}
