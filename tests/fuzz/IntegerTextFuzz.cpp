// The "%d" rule of integer fields on any text, against a plain reading of the same rule.
#include <climits>
#include <optional>

#include "FuzzInput.h"
#include "common/IntegerText.h"

namespace {
// Blanks as the C library's scan skips them, one sign, then the digits; saturated to int.
std::optional<int> Reference(const std::string& text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+'))
        ++i;
    if (i == text.size() || text[i] < '0' || text[i] > '9')
        return std::nullopt;
    long double value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + (text[i] - '0');
    if (negative)
        value = -value;
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto parsed = IntegerText::Parse(text);
    FUZZ_CHECK(parsed == Reference(text.substr(0, IntegerText::SCAN_LIMIT)));
    FUZZ_CHECK(IntegerText::ParseLeading(text) == Reference(text));
    if (parsed)
        FUZZ_CHECK(IntegerText::Parse(IntegerText::Format(*parsed)) == parsed);  // what is shown reads back
    return 0;
}
