// Reading the news server's reply: lines of "&"-separated fields (number, year.month.day, text).
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "CNewsItem.h"

class NewsReply {
public:
    // LF separates lines; a run of LFs is one separator; CR stays part of the line.
    static std::vector<std::string> SplitLines(const std::string& reply);
    // Fields up to each "&"; a trailing "&" adds nothing.
    static std::vector<std::string> SplitFields(const std::string& line);
    // A record filled from the line's first three fields; what is missing keeps the fresh values.
    static std::unique_ptr<CNewsItem> ParseLine(const std::string& line, std::int64_t now);
    // Start of that day in local time, or `now` when the text is no such date (fewer than
    // three numbers, a year before 1970, a two-digit year).
    static std::int64_t ParseDate(const std::string& field, std::int64_t now);
};
