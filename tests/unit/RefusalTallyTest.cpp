// Refusals counted per address and minute: which are written in full, when the counts come, and their lines.
#include <gtest/gtest.h>

#include "bridge/core/ConnectionTraceFormat.h"
#include "bridge/core/Ipv4Text.h"
#include "bridge/core/RefusalTally.h"

namespace {
using R = RefusalTally::Reason;
constexpr std::uint64_t MINUTE = RefusalTally::MINUTE_MS;
const std::uint32_t STRANGER = Ipv4Text::Parse("127.0.0.3").value();
const std::uint32_t OTHER = Ipv4Text::Parse("10.0.0.9").value();
}

TEST(RefusalTally, AFloodIsOneLineInFullThenACountEachMinute)
{
    RefusalTally tally;
    EXPECT_FALSE(tally.NextDueIn(0));
    EXPECT_TRUE(tally.Refuse(STRANGER, R::NOT_ALLOWED, 1000));
    EXPECT_TRUE(tally.Refuse(OTHER, R::LINE_IN_USE, 5000)) << "each address has a minute of its own";
    for (int i = 0; i < 1999; ++i)
        EXPECT_FALSE(tally.Refuse(STRANGER, R::NOT_ALLOWED, 1000 + i));
    EXPECT_EQ(tally.NextDueIn(30'000), MINUTE + 1000 - 30'000);
    EXPECT_TRUE(tally.TakeDue(MINUTE + 999).empty()) << "not before the minute is over";

    // The count opens the next minute: a refusal in it is counted, not written.
    EXPECT_EQ(tally.TakeDue(MINUTE + 1000), (std::vector<RefusalTally::Count>{{STRANGER, R::NOT_ALLOWED, 1999}}));
    EXPECT_FALSE(tally.Refuse(STRANGER, R::NOT_ALLOWED, MINUTE + 2000));
    EXPECT_EQ(tally.NextDueIn(MINUTE + 2000), 3000u) << "the other address's minute ends first";
    // A minute with nothing more closes quietly; the next refusal is written in full.
    EXPECT_TRUE(tally.TakeDue(MINUTE + 5000).empty());
    EXPECT_TRUE(tally.Refuse(OTHER, R::LINE_IN_USE, MINUTE + 6000));
    // The end takes every count, even of a minute not yet over, and leaves nothing open.
    EXPECT_EQ(tally.TakeAll(), (std::vector<RefusalTally::Count>{{STRANGER, R::NOT_ALLOWED, 1}}));
    EXPECT_FALSE(tally.NextDueIn(MINUTE + 6000));
    EXPECT_TRUE(tally.Refuse(STRANGER, R::NOT_ALLOWED, MINUTE + 7000));
}

TEST(RefusalTally, CountLinesAndTheCloseOfAClientWithoutALine)
{
    using C = ConnectionTraceFormat::Channel;
    EXPECT_EQ(ConnectionTraceFormat::RefusalsCounted(STRANGER, R::NOT_ALLOWED, 1999),
              "refused (not allowed) 127.0.0.3, 1 999 more in the last minute");
    EXPECT_EQ(ConnectionTraceFormat::RefusalsCounted(OTHER, R::LINE_IN_USE, 1234567),
              "refused (line in use) 10.0.0.9, 1 234 567 more in the last minute");
    EXPECT_EQ(ConnectionTraceFormat::RefusalsCounted(OTHER, R::LINE_IN_USE, 999),
              "refused (line in use) 10.0.0.9, 999 more in the last minute");
    EXPECT_EQ(ConnectionTraceFormat::ClosedWithoutLine(C::DATA, STRANGER, 50123, 4096),
              "data 127.0.0.3:50123 closed, COM port gone: 4 096 bytes not written, discarded");
}
