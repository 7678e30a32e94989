// The news window's line shortening, which six of a long list it shows, and the link label's texts.
#include <gtest/gtest.h>

#include "news/CNewsItem.h"
#include "news/LinkText.h"
#include "news/NewsList.h"
#include "tests/LocalNoon.h"

namespace {
// Every character 7 pixels wide, except 'W' (11): enough to make prefixes differ.
int Width(const std::string& text, std::size_t length)
{
    int width = 0;
    for (std::size_t i = 0; i < length; ++i)
        width += text[i] == 'W' ? 11 : 7;
    return width;
}
}

TEST(FormatLine, ShowsTheLocalDateAColonAndTheText)
{
    CNewsItem item(12, LocalNoon(2005, 11, 28), "Nowa wersja");
    EXPECT_EQ(item.FormatLine(Width, 1000), "2005.11.28: Nowa wersja");
    CNewsItem empty(1, LocalNoon(2006, 1, 5), "");
    EXPECT_EQ(empty.FormatLine(Width, 1000), "2006.01.05: ");
}

TEST(FormatLine, ExactlyFittingIsKeptAndOnePixelTooWideIsShortened)
{
    CNewsItem item(1, LocalNoon(2005, 11, 28), "WWW abc");
    const std::string full = "2005.11.28: WWW abc";
    const int fullWidth = Width(full, full.size());
    EXPECT_EQ(item.FormatLine(Width, fullWidth), full);

    const std::string shortened = item.FormatLine(Width, fullWidth - 1);
    ASSERT_GE(shortened.size(), 4u);
    EXPECT_EQ(shortened.substr(shortened.size() - 3), "...");
    const std::string prefix = shortened.substr(0, shortened.size() - 3);
    EXPECT_EQ(full.compare(0, prefix.size(), prefix), 0);
    EXPECT_LE(Width(prefix, prefix.size()) + 21, fullWidth - 1);
    // The longest such prefix: one character more would not fit.
    EXPECT_GT(Width(full, prefix.size() + 1) + 21, fullWidth - 1);
}

TEST(FormatLine, KeepsAtLeastOneCharacterAndHandlesHugeTexts)
{
    CNewsItem item(1, LocalNoon(2005, 11, 28), "tekst");
    EXPECT_EQ(item.FormatLine(Width, 5), "2...");
    CNewsItem huge(2, LocalNoon(2005, 11, 28), std::string(15000, 'x'));
    const std::string line = huge.FormatLine(Width, 460);
    EXPECT_EQ(line.substr(0, 12), "2005.11.28: ");
    EXPECT_EQ(line.substr(line.size() - 3), "...");
    EXPECT_LE(Width(line, line.size()), 460);
}

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
