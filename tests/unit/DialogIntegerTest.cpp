// Integer fields read like a "%d" scan: what is accepted, what is refused, where reading stops.
#include <gtest/gtest.h>

#include "framework/DialogInteger.h"

TEST(DialogInteger, TakesLeadingDigitsAndIgnoresTheRest)
{
    EXPECT_EQ(DialogInteger::Parse("5003x"), 5003);
    EXPECT_EQ(DialogInteger::Parse("  \t+42 7"), 42);
    EXPECT_EQ(DialogInteger::Parse("-17abc"), -17);
    EXPECT_EQ(DialogInteger::Parse("0070"), 70);
}

TEST(DialogInteger, RefusesTextWithoutDigits)
{
    for (const char* text : {"", "abc", "   ", "-", "+ 5", "x5"})
        EXPECT_FALSE(DialogInteger::Parse(text).has_value()) << '"' << text << '"';
}

TEST(DialogInteger, ReadsOnlyTheFirst63Characters)
{
    std::string blanksThenDigit(63, ' ');
    EXPECT_FALSE(DialogInteger::Parse(blanksThenDigit + "7").has_value());
    EXPECT_EQ(DialogInteger::Parse(std::string(62, ' ') + "78"), 7);
}

TEST(DialogInteger, SaturatesOutOfRangeValues)
{
    EXPECT_EQ(DialogInteger::Parse("99999999999"), 2147483647);
    EXPECT_EQ(DialogInteger::Parse("-99999999999"), -2147483647 - 1);
    EXPECT_EQ(DialogInteger::Format(-5), "-5");
}
