// The news reply's lines and fields, the date rule, merging into a stored list, the show decision.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "news/NewsList.h"
#include "news/NewsReply.h"

namespace {
constexpr std::int64_t NOW = 1700000000;

std::int64_t LocalMidnight(int year, int month, int day)
{
    std::tm broken{};
    broken.tm_year = year - 1900;
    broken.tm_mon = month - 1;
    broken.tm_mday = day;
    broken.tm_isdst = -1;
    return static_cast<std::int64_t>(std::mktime(&broken));
}

std::vector<int> Numbers(const NewsList& list)
{
    std::vector<int> numbers;
    for (std::size_t i = 0; i < list.GetCount(); ++i)
        numbers.push_back(list.GetAt(i).number);
    return numbers;
}

NewsList Stored(std::initializer_list<int> numbers)
{
    NewsList list;
    for (int n : numbers)
        list.Append(std::make_unique<CNewsItem>(n, NOW, "stored " + std::to_string(n)));
    return list;
}
}

TEST(NewsReply, LineExamples)
{
    const struct {
        const char* line;
        int number;
        std::int64_t date;
        const char* text;
    } rows[] = {
        {"12&2005.11.28&Nowa wersja", 12, LocalMidnight(2005, 11, 28), "Nowa wersja"},
        {"5&&x", 5, NOW, "x"},
        {"7", 7, NOW, ""},
        {"8&2005.11.28&a&b", 8, LocalMidnight(2005, 11, 28), "a"},
        {"abc&2005.1.5&t", 0, LocalMidnight(2005, 1, 5), "t"},
        {"28&28.11.2005&day first", 28, NOW, "day first"},
        {"-3&2005.13.1&month 13", -3, LocalMidnight(2006, 1, 1), "month 13"},
    };
    for (const auto& row : rows) {
        auto item = NewsReply::ParseLine(row.line, NOW);
        EXPECT_EQ(item->number, row.number) << row.line;
        EXPECT_EQ(item->date, row.date) << row.line;
        EXPECT_EQ(item->text, row.text) << row.line;
    }
}

TEST(NewsReply, LinesSplitOnRunsOfLineFeedsAndKeepCarriageReturns)
{
    const auto lines = NewsReply::SplitLines("\n\n1&2005.1.1&a\r\n\n\n2&2005.1.2&b\n3");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(NewsReply::ParseLine(lines[0], NOW)->text, "a\r");
    EXPECT_EQ(lines[2], "3");
    EXPECT_EQ(NewsReply::SplitFields("5&"), std::vector<std::string>{"5"});
    EXPECT_EQ(NewsReply::SplitFields("&x"), (std::vector<std::string>{"", "x"}));
}

TEST(NewsList, MergeReplacesByNumberAndKeepsWhatTheServerNoLongerSends)
{
    NewsList list = Stored({3, 4, 5});
    list.ApplyReply("4&2005.11.28&new text\n9&2005.11.29&nine\n", NOW);
    EXPECT_EQ(Numbers(list), (std::vector<int>{3, 4, 5, 9}));
    EXPECT_EQ(list.GetAt(1).text, "new text");
    EXPECT_EQ(list.GetAt(0).text, "stored 3");
}

TEST(NewsList, ALaterLineWithTheSameNumberWinsAndAnEmptyReplyChangesNothing)
{
    NewsList list = Stored({9, 1, 5, 2, 8, 7, 3});  // a hand-edited store, unsorted and too long
    list.ApplyReply("", NOW);
    EXPECT_EQ(Numbers(list), (std::vector<int>{9, 1, 5, 2, 8, 7, 3}));

    NewsList fresh;
    fresh.ApplyReply("4&&first\n4&&second\n", NOW);
    ASSERT_EQ(fresh.GetCount(), 1u);
    EXPECT_EQ(fresh.GetAt(0).text, "second");
}

TEST(NewsList, ShowDecision)
{
    // First run with messages: shown even when every number is 0 or below.
    NewsList first = Stored({0, -2});
    first.firstRun = 1;
    EXPECT_TRUE(first.ShouldShow());
    EXPECT_EQ(first.firstRun, 0);
    EXPECT_FALSE(first.ShouldShow());

    // The don't-show flag at 1 suppresses and still records what was there.
    NewsList suppressed = Stored({3, 9});
    suppressed.dontShow = 1;
    EXPECT_FALSE(suppressed.ShouldShow());
    EXPECT_EQ(suppressed.highestShown, 9);

    // Only 1 suppresses: 5 does not.
    NewsList flagFive = Stored({3, 9});
    flagFive.dontShow = 5;
    flagFive.highestShown = 5;
    EXPECT_TRUE(flagFive.ShouldShow());
    EXPECT_FALSE(flagFive.ShouldShow());

    // First run without messages falls through to the ordinary rule.
    NewsList empty;
    empty.firstRun = 1;
    EXPECT_FALSE(empty.ShouldShow());
    EXPECT_EQ(empty.firstRun, 0);
}
