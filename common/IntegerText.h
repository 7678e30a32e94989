// The "%d" reading of integer text that dialog fields and the news reply share, and its plain decimal writing.
#pragma once
#include <optional>
#include <string>
#include <string_view>

class IntegerText {
public:
    // Only the first 63 characters count. Leading white space and one sign are
    // skipped; the digits after them are the value and whatever follows is
    // ignored ("5001x" is 5001). No digit at all (the empty text too) is invalid.
    // A value beyond the int range saturates instead of wrapping.
    static std::optional<int> Parse(std::string_view text);
    // The same reading over the whole text, the way atoi reads a number.
    static std::optional<int> ParseLeading(std::string_view text);
    static std::string Format(int value);

    static constexpr std::size_t SCAN_LIMIT = 63;
};
