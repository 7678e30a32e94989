// Reading the news server's reply: lines of "&"-separated fields (number, year.month.day, text).
#include "NewsReply.h"

#include <cstdio>
#include <ctime>

#include "../common/IntegerText.h"

std::vector<std::string> NewsReply::SplitLines(const std::string& reply)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < reply.size()) {
        std::size_t end = reply.find('\n', start);
        if (end == std::string::npos)
            end = reply.size();
        if (end > start)
            lines.push_back(reply.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

std::vector<std::string> NewsReply::SplitFields(const std::string& line)
{
    std::vector<std::string> fields;
    std::string rest = line;
    for (;;) {
        const std::size_t amp = rest.find('&');
        if (amp != std::string::npos) {
            fields.push_back(rest.substr(0, amp));
            rest = rest.substr(amp + 1);
        } else {
            if (!rest.empty())
                fields.push_back(rest);
            return fields;
        }
    }
}

std::int64_t NewsReply::ParseDate(const std::string& field, std::int64_t now)
{
    int year = 0, month = 0, day = 0;
    if (std::sscanf(field.c_str(), "%d.%d.%d", &year, &month, &day) != 3)
        return now;
    tzset();
    std::tm broken{};
    broken.tm_year = year - 1900;
    broken.tm_mon = month - 1;
    broken.tm_mday = day;
    broken.tm_isdst = -1;  // the local rules decide on daylight-saving time
    const std::time_t converted = std::mktime(&broken);
    if (converted == static_cast<std::time_t>(-1) || converted < 0)
        return now;
    return static_cast<std::int64_t>(converted);
}

std::unique_ptr<CNewsItem> NewsReply::ParseLine(const std::string& line, std::int64_t now)
{
    auto item = std::make_unique<CNewsItem>(now);
    const std::vector<std::string> fields = SplitFields(line);
    item->number = fields.empty() ? 0 : IntegerText::ParseLeading(fields[0]).value_or(0);
    if (fields.size() >= 2)
        item->date = ParseDate(fields[1], now);
    if (fields.size() >= 3)
        item->text = fields[2];
    return item;
}
