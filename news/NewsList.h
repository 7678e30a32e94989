// The kept news messages with their merge, sort and trim rules, and the decision to show them.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CNewsItem.h"

class NewsList {
public:
    static constexpr std::size_t KEPT = 6;

    std::size_t GetCount() const { return items.size(); }
    const CNewsItem& GetAt(std::size_t index) const { return *items[index]; }
    void Append(std::unique_ptr<CNewsItem> item) { items.push_back(std::move(item)); }
    bool HoldsNumber(int number) const;
    void RemoveAll() { items.clear(); }

    // Replaces the last entry with the record's number, or appends the record.
    void Merge(std::unique_ptr<CNewsItem> item);
    // Ascending by number, by exchanges: equal numbers keep their order relative to the pass.
    void Sort();
    // Drops the lowest numbers until six are left.
    void Trim();
    // Merges every line of a reply, then sorts and trims; an empty reply changes nothing.
    void ApplyReply(const std::string& reply, std::int64_t now);
    // The highest number, but never below 0.
    int HighestNumber() const;

    // List positions the news window shows, lowest number first: all of them, or, in a list
    // longer than the window's six lines, the six with the highest numbers.
    std::vector<std::size_t> ShownIndices() const;

    // True when the news window is due; raises highestShown and clears the first-run mark.
    bool ShouldShow();

    int dontShow = 0;      // 1: not shown automatically; any other value: shown
    int firstRun = 0;      // the server address was missing at load
    int highestShown = 0;  // the highest number the user is taken to have seen

private:
    std::vector<std::unique_ptr<CNewsItem>> items;
};
