// One news message: its number, date and text, and the one-line form the news window shows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

class CNewsItem {
public:
    // Width in pixels of the first `length` characters of `text`.
    using WidthOf = std::function<int(const std::string& text, std::size_t length)>;

    // A fresh record: number -1, empty text, dated now.
    explicit CNewsItem(std::int64_t now) : date(now) {}
    CNewsItem(int itemNumber, std::int64_t itemDate, std::string itemText)
        : number(itemNumber), text(std::move(itemText)), date(itemDate)
    {
    }
    virtual ~CNewsItem() = default;

    // "YYYY.MM.DD" in local time; empty when the date cannot be shown.
    std::string DateText() const;
    // "date: text", shortened when wider than fitWidth to the longest prefix (at least one
    // character) that leaves room for "...", followed by "...". Prefix widths are taken to grow
    // with their length, as a font's do, so the prefix is found by halving, not by one measure per character.
    std::string FormatLine(const WidthOf& width, int fitWidth) const;

    int number = -1;
    std::string text;       // ANSI (Windows-1250) bytes as the server sent them
    std::int64_t date = 0;  // seconds since 1970-01-01 00:00 UTC
};
