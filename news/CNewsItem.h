// One news message: its number, date and text.
#pragma once
#include <cstdint>
#include <string>

class CNewsItem {
public:
    // A fresh record: number -1, empty text, dated now.
    explicit CNewsItem(std::int64_t now) : date(now) {}
    CNewsItem(int number, std::int64_t date, std::string text) : number(number), text(std::move(text)), date(date) {}
    virtual ~CNewsItem() = default;

    int number = -1;
    std::string text;       // ANSI (Windows-1250) bytes as the server sent them
    std::int64_t date = 0;  // seconds since 1970-01-01 00:00 UTC
};
