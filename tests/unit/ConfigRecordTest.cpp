// The configuration record buffer's capacity, the speed list's rule for records, and the log's failure entries.
#include <gtest/gtest.h>

#include <vector>

#include "bridge/core/ConfigRecordStream.h"
#include "bridge/core/SerialEncodings.h"
#include "bridge/core/TrafficLogFormat.h"

TEST(ConfigRecordStream, NothingPastTheCapacityIsTaken)
{
    // Unparsed, the buffer takes what fits and no more (that a parsed chunk always fits is the fuzz target's).
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

TEST(TrafficLogFormat, TheEntriesNoRunOfTheBridgeWrites)
{
    // The client's and exchange's prefixes and the applied speed are read back byte for byte end to end.
    EXPECT_EQ(TrafficLogFormat::SpeedRefused(5002, 38400), "\nTCP(5002): ERROR of SetCommState(38400)");
    EXPECT_EQ(TrafficLogFormat::StateUnreadable(5002), "\nTCP(5002): ERROR of GetCommState()");
    // Rates print as signed 32-bit numbers.
    EXPECT_EQ(TrafficLogFormat::SpeedRequest(7, 0xFFFFFFFFu), "\nTCP(7): CFG_SPEED [-1]");
}
