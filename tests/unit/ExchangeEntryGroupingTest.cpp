// The exchange's hand-overs grouped into log entries: gaps, other entries and the size limit part them.
#include <gtest/gtest.h>

#include "bridge/core/ExchangeEntryGrouping.h"

TEST(ExchangeEntryGrouping, AStreamGoesOnUntilAGapAnotherEntryOrTheLimit)
{
    ExchangeEntryGrouping grouping;
    EXPECT_TRUE(grouping.StartsEntry(16, 0.0));
    EXPECT_FALSE(grouping.StartsEntry(16, 1.4));
    EXPECT_FALSE(grouping.StartsEntry(16, 1.4 + ExchangeEntryGrouping::GAP_MS));
    EXPECT_TRUE(grouping.StartsEntry(16, 20.0)) << "a gap ends the entry";
    grouping.OtherEntry();
    EXPECT_TRUE(grouping.StartsEntry(4, 20.1)) << "a client's chunk in between ends it too";

    // An entry is continued only while it is under 100 bytes, so none grows far past it.
    ExchangeEntryGrouping stream;
    int prefixes = 0;
    std::size_t bytes = 0;
    for (int i = 0; i < 1000; ++i, bytes += 16)
        prefixes += stream.StartsEntry(16, i * 1.4) ? 1 : 0;
    EXPECT_EQ(prefixes, 1000 / 7 + 1);  // 7 hand-overs of 16 bytes make 112, the first past the limit
    EXPECT_GE(static_cast<double>(bytes) / prefixes, 100.0);

    // One large hand-over is an entry of its own.
    EXPECT_TRUE(stream.StartsEntry(1999, 1e6));
    EXPECT_TRUE(stream.StartsEntry(1, 1e6 + 0.1)) << "the entry is past its limit";
}
