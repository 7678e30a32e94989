// The clients that may use the bridge: IPv4 addresses and CIDR ranges read from the allowedClients text.
#include "ClientAllowList.h"

#include "Ipv4Text.h"

namespace {
bool IsSeparator(char c)
{
    return c == ',' || c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// A prefix length: one or two decimal digits, 0 to 32.
std::optional<int> ParsePrefix(std::string_view text)
{
    if (text.empty() || text.size() > 2)
        return std::nullopt;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > 32)
        return std::nullopt;
    return value;
}
}

std::optional<ClientAllowList::BadEntry> ClientAllowList::Parse(std::string_view text, ClientAllowList& list)
{
    std::vector<Range> parsed;
    std::size_t i = 0;
    while (i < text.size()) {
        if (IsSeparator(text[i])) {
            ++i;
            continue;
        }
        const std::size_t start = i;
        while (i < text.size() && !IsSeparator(text[i]))
            ++i;
        const std::string_view entry = text.substr(start, i - start);
        const std::size_t slash = entry.find('/');
        const auto address = Ipv4Text::Parse(entry.substr(0, slash));
        const auto prefix = slash == std::string_view::npos ? std::optional<int>(32) : ParsePrefix(entry.substr(slash + 1));
        if (!address || !prefix)
            return BadEntry{std::string(entry), start};
        const std::uint32_t mask = *prefix == 0 ? 0 : ~std::uint32_t{0} << (32 - *prefix);
        parsed.push_back({*address & mask, mask});
    }
    list.ranges = std::move(parsed);
    return std::nullopt;
}

std::string ClientAllowList::BadEntryMessage(std::string_view entry)
{
    std::string text = "\"";
    text.append(entry);
    text += "\" nie jest adresem IPv4 ani zakresem adresów (na przykład 10.0.0.5 albo 192.168.1.0/24).";
    return text;
}

bool ClientAllowList::Allows(std::uint32_t address) const
{
    if (ranges.empty())
        return true;
    for (const Range& range : ranges) {
        if ((address & range.mask) == range.network)
            return true;
    }
    return false;
}
