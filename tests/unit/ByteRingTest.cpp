// The ring that holds the exchange's output for a slow client: order kept across the wrap, never more than its room.
#include <gtest/gtest.h>

#include <vector>

#include "bridge/core/ByteRing.h"

TEST(ByteRing, KeepsOrderAcrossTheWrapAndTakesNoMoreThanItsRoom)
{
    ByteRing ring(8);
    const std::uint8_t first[] = {1, 2, 3, 4, 5, 6};
    EXPECT_EQ(ring.Append(first, 6), 6u);
    ring.Consume(4);
    const std::uint8_t second[] = {7, 8, 9, 10, 11, 12, 13};
    EXPECT_EQ(ring.Append(second, 7), 6u) << "two bytes wait, so six fit";
    EXPECT_EQ(ring.Room(), 0u);

    std::vector<std::uint8_t> out;
    while (!ring.Empty()) {
        const auto front = ring.Front();
        ASSERT_FALSE(front.empty());
        out.insert(out.end(), front.begin(), front.begin() + 1);  // one at a time, through the wrap
        ring.Consume(1);
    }
    EXPECT_EQ(out, (std::vector<std::uint8_t>{5, 6, 7, 8, 9, 10, 11, 12}));

    EXPECT_EQ(ring.Append(second, 3), 3u);
    EXPECT_EQ(ring.Front().size(), 3u) << "an emptied ring starts again in one piece";
    ring.Clear();
    EXPECT_TRUE(ring.Empty());
    EXPECT_EQ(ring.Room(), 8u);
}
