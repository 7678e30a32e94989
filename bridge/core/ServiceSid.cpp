// A service's own security identifier (NT SERVICE\<name>) as SDDL text, computed from its name.
#include "ServiceSid.h"

#include <cctype>

#include "Sha1.h"

std::string ServiceSid::Of(const std::string& name)
{
    std::string utf16;
    for (char c : name) {
        utf16 += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        utf16 += '\0';
    }
    const auto digest = Sha1::Of(utf16);
    std::string sid = "S-1-5-80";
    for (std::size_t word = 0; word < 5; ++word) {
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4; ++i)
            value |= std::uint32_t{digest[word * 4 + i]} << (8 * i);
        sid += '-';
        sid += std::to_string(value);
    }
    return sid;
}
