// Dotted IPv4 text read strictly and written back; addresses are 32-bit numbers in host order.
#include "Ipv4Text.h"

std::optional<std::uint32_t> Ipv4Text::Parse(std::string_view text)
{
    std::uint32_t address = 0;
    std::size_t i = 0;
    for (int octet = 0; octet < 4; ++octet) {
        if (octet > 0) {
            if (i >= text.size() || text[i] != '.')
                return std::nullopt;
            ++i;
        }
        const std::size_t start = i;
        unsigned value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 3)
            value = value * 10 + static_cast<unsigned>(text[i++] - '0');
        const std::size_t digits = i - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0'))
            return std::nullopt;
        address = (address << 8) | value;
    }
    if (i != text.size())
        return std::nullopt;
    return address;
}

std::string Ipv4Text::Format(std::uint32_t address)
{
    return std::to_string(address >> 24) + "." + std::to_string((address >> 16) & 0xFF) + "." +
           std::to_string((address >> 8) & 0xFF) + "." + std::to_string(address & 0xFF);
}

std::string Ipv4Text::FormatEndpoint(std::uint32_t address, int port)
{
    return Format(address) + ":" + std::to_string(port);
}
