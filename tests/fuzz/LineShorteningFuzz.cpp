// A news line shortened to a width, with a made-up font whose glyph widths come from the input.
#include "FuzzInput.h"
#include "news/CNewsItem.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    int glyph[256];
    for (int& width : glyph)
        width = 0;
    const int base = 1 + input.Byte() % 12;
    for (int c = 0; c < 256; ++c)
        glyph[c] = base + (c % 7 == input.Byte() % 7 ? input.Byte() % 9 : 0);
    const int fitWidth = static_cast<int>(input.Word() % 4000) - 20;
    const std::int64_t date = static_cast<std::int64_t>(input.Word()) * (input.Byte() % 3 == 0 ? -1 : 1);
    CNewsItem item(static_cast<int>(input.Word()), date, input.Rest());

    int measures = 0;
    const CNewsItem::WidthOf width = [&](const std::string& text, std::size_t length) {
        FUZZ_CHECK(length <= text.size());
        ++measures;
        int total = 0;
        for (std::size_t i = 0; i < length; ++i)
            total += glyph[static_cast<unsigned char>(text[i])];
        return total;
    };
    const std::string full = item.DateText() + ": " + item.text;
    const std::string line = item.FormatLine(width, fitWidth);
    const bool fits = width(full, full.size()) <= fitWidth;
    if (fits) {
        FUZZ_CHECK(line == full);
        return 0;
    }
    // Shortened: a shorter prefix of the line, then "...", no wider than the limit unless even
    // one character and the ellipsis are too wide.
    FUZZ_CHECK(line.size() > 3 && line.compare(line.size() - 3, 3, "...") == 0);
    const std::string prefix = line.substr(0, line.size() - 3);
    FUZZ_CHECK(!prefix.empty() && prefix.size() < full.size() && full.compare(0, prefix.size(), prefix) == 0);
    FUZZ_CHECK(width(line, line.size()) <= fitWidth || prefix.size() == 1);
    // The longest such prefix: one more character would not fit.
    if (prefix.size() + 1 < full.size())
        FUZZ_CHECK(width(full, prefix.size() + 1) + width("...", 3) > fitWidth);
    return 0;
}
