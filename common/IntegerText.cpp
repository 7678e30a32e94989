// The "%d" reading of integer text that dialog fields and the news reply share, and its plain decimal writing.
#include "IntegerText.h"

#include <climits>

namespace {
bool IsScanBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
}

std::optional<int> IntegerText::Parse(std::string_view text)
{
    return ParseLeading(text.substr(0, SCAN_LIMIT));
}

std::optional<int> IntegerText::ParseLeading(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && IsScanBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size() || text[i] < '0' || text[i] > '9')
        return std::nullopt;
    long long value = 0;
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > limit)
            value = limit;
    }
    return static_cast<int>(negative ? -value : value);
}

std::string IntegerText::Format(int value)
{
    return std::to_string(value);
}
