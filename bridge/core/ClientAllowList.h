// The clients that may use the bridge: IPv4 addresses and CIDR ranges read from the allowedClients text.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class ClientAllowList {
public:
    // The first entry that does not parse, and where it starts in the text (for selecting it).
    struct BadEntry {
        std::string text;
        std::size_t offset = 0;
        std::size_t Length() const { return text.size(); }
    };

    // Entries are separated by commas and/or blanks, in any number ("10.0.0.5,, 10.0.0.6" is
    // two). An entry is an address ("10.0.0.5") or a range ("192.168.1.0/24", prefix 0-32;
    // host bits below the prefix are ignored). Nothing but separators means anyone.
    // On a bad entry `list` is left as it was.
    static std::optional<BadEntry> Parse(std::string_view text, ClientAllowList& list);
    // The box naming an entry that does not parse.
    static std::string BadEntryMessage(std::string_view entry);

    bool AllowsAnyone() const { return ranges.empty(); }
    // The address in host order (127.0.0.2 is 0x7F000002).
    bool Allows(std::uint32_t address) const;

private:
    struct Range {
        std::uint32_t network;
        std::uint32_t mask;
    };
    std::vector<Range> ranges;
};
