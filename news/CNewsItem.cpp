// One news message: its number, date and text, and the one-line form the news window shows.
#include "CNewsItem.h"

#include <ctime>

std::string CNewsItem::DateText() const
{
    const std::time_t when = static_cast<std::time_t>(date);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &when) != 0)
        return {};
#else
    if (!localtime_r(&when, &local))
        return {};
#endif
    char buffer[32];
    const std::size_t length = std::strftime(buffer, sizeof buffer, "%Y.%m.%d", &local);
    return std::string(buffer, length);
}

std::string CNewsItem::FormatLine(const WidthOf& width, int fitWidth) const
{
    const std::string line = DateText() + ": " + text;
    if (line.empty() || width(line, line.size()) <= fitWidth)
        return line;
    const std::string ellipsis = "...";
    const int ellipsisWidth = width(ellipsis, ellipsis.size());
    // The longest k in [1, length - 1] whose prefix still leaves room for the ellipsis; 1 when none does.
    std::size_t low = 1, high = line.size() - 1, k = 1;
    while (low <= high) {
        const std::size_t middle = low + (high - low) / 2;
        if (width(line, middle) + ellipsisWidth <= fitWidth) {
            k = middle;
            low = middle + 1;
        } else {
            high = middle - 1;
        }
    }
    return line.substr(0, k) + ellipsis;
}
