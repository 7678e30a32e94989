// Which six of a long list the news window shows, and the link label's texts.
#include <gtest/gtest.h>

#include "news/LinkText.h"
#include "news/NewsList.h"

TEST(NewsList, ALongListShowsItsSixHighestNumbersLowestFirst)
{
    NewsList list;
    for (int n : {9, 1, 5, 2, 8, 7, 3})
        list.Append(std::make_unique<CNewsItem>(n, 0, std::to_string(n)));
    std::vector<int> shown;
    for (std::size_t index : list.ShownIndices())
        shown.push_back(list.GetAt(index).number);
    EXPECT_EQ(shown, (std::vector<int>{2, 3, 5, 7, 8, 9}));

    NewsList few;
    few.Append(std::make_unique<CNewsItem>(4, 0, "a"));
    few.Append(std::make_unique<CNewsItem>(2, 0, "b"));
    EXPECT_EQ(few.ShownIndices(), (std::vector<std::size_t>{0, 1}));
}

TEST(LinkText, HtmCommandDropsThePlaceholderAndWhatFollows)
{
    EXPECT_EQ(LinkText::HtmCommandLine("C:\\Prog\\browser.exe \"%1\" -nohome", "http://www.example.com/"),
              "C:\\Prog\\browser.exe  http://www.example.com/");
    EXPECT_EQ(LinkText::HtmCommandLine("browser.exe %1", "x"), "browser.exe  x");
    EXPECT_EQ(LinkText::HtmCommandLine("browser.exe", "x"), "browser.exe x");
    EXPECT_FALSE(LinkText::HtmCommandLine("browser.exe", std::string(LinkText::COMMAND_LIMIT, 'x')));
}

TEST(LinkText, ErrorMessagesFollowTheTable)
{
    EXPECT_EQ(LinkText::OpenErrorMessage(26), "Unable to open hyperlink:\n\nA sharing violation occurred. ");
    EXPECT_EQ(LinkText::OpenErrorMessage(1), "Unable to open hyperlink:\n\nUnknown Error (1) occurred.");
    EXPECT_EQ(LinkText::OpenErrorMessage(2), "Unable to open hyperlink:\n\nThe specified file was not found.");
}
