// Integer fields read like a "%d" scan: what is accepted, what is refused, where reading stops.
#include <gtest/gtest.h>

#include "common/IntegerText.h"

TEST(IntegerText, ReadsLikeAScanOfItsFirst63Characters)
{
    // Leading digits are taken and the rest ignored; text without digits is refused.
    EXPECT_EQ(IntegerText::Parse("5003x"), 5003);
    EXPECT_EQ(IntegerText::Parse("  \t+42 7"), 42);
    EXPECT_EQ(IntegerText::Parse("-17abc"), -17);
    EXPECT_EQ(IntegerText::Parse("0070"), 70);

    for (const char* text : {"", "abc", "   ", "-", "+ 5", "x5"})
        EXPECT_FALSE(IntegerText::Parse(text).has_value()) << '"' << text << '"';

    // Only the first 63 characters are read; out-of-range values saturate.
    std::string blanksThenDigit(63, ' ');
    EXPECT_FALSE(IntegerText::Parse(blanksThenDigit + "7").has_value());
    EXPECT_EQ(IntegerText::Parse(std::string(62, ' ') + "78"), 7);
    EXPECT_EQ(IntegerText::Parse("99999999999"), 2147483647);
    EXPECT_EQ(IntegerText::Parse("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(IntegerText::Format(-5), "-5");
}
