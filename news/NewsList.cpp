// The kept news messages with their merge, sort and trim rules, and the decision to show them.
#include "NewsList.h"

#include "NewsReply.h"

bool NewsList::HoldsNumber(int number) const
{
    for (const auto& item : items)
        if (item->number == number)
            return true;
    return false;
}

void NewsList::Merge(std::unique_ptr<CNewsItem> item)
{
    for (std::size_t i = items.size(); i-- > 0;) {
        if (items[i]->number == item->number) {
            items[i] = std::move(item);
            return;
        }
    }
    items.push_back(std::move(item));
}

void NewsList::Sort()
{
    for (std::size_t i = 0; i + 1 < items.size(); ++i)
        for (std::size_t j = i + 1; j < items.size(); ++j)
            if (items[j]->number < items[i]->number)
                std::swap(items[i], items[j]);
}

void NewsList::Trim()
{
    if (items.size() > KEPT)
        items.erase(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(items.size() - KEPT));
}

void NewsList::ApplyReply(const std::string& reply, std::int64_t now)
{
    if (reply.empty())
        return;
    for (const std::string& line : NewsReply::SplitLines(reply))
        Merge(NewsReply::ParseLine(line, now));
    Sort();
    Trim();
}

int NewsList::HighestNumber() const
{
    int highest = 0;
    for (const auto& item : items)
        if (item->number > highest)
            highest = item->number;
    return highest;
}

std::vector<std::size_t> NewsList::ShownIndices() const
{
    std::vector<std::size_t> shown(items.size());
    for (std::size_t i = 0; i < shown.size(); ++i)
        shown[i] = i;
    if (shown.size() <= KEPT)
        return shown;
    // The same exchange sort the list itself uses, applied to positions only.
    for (std::size_t i = 0; i + 1 < shown.size(); ++i)
        for (std::size_t j = i + 1; j < shown.size(); ++j)
            if (items[shown[j]]->number < items[shown[i]]->number)
                std::swap(shown[i], shown[j]);
    shown.erase(shown.begin(), shown.end() - KEPT);
    return shown;
}

bool NewsList::ShouldShow()
{
    const int highest = HighestNumber();
    if (dontShow == 1) {
        highestShown = highest;
        return false;
    }
    if (firstRun) {
        firstRun = 0;
        if (!items.empty()) {
            highestShown = highest;
            return true;
        }
    }
    if (highestShown >= highest)
        return false;
    highestShown = highest;
    return true;
}
