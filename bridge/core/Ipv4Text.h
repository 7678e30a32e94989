// Dotted IPv4 text read strictly and written back; addresses are 32-bit numbers in host order.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

class Ipv4Text {
public:
    // Exactly four decimal octets 0-255 and nothing else. A leading zero ("010") is refused:
    // the system's own address reading takes it as octal, so the two readings would differ.
    // 127.0.0.2 comes out as 0x7F000002.
    static std::optional<std::uint32_t> Parse(std::string_view text);
    static std::string Format(std::uint32_t address);
    // "192.168.1.20:50123"
    static std::string FormatEndpoint(std::uint32_t address, int port);
    // 127.0.0.0/8: every one of these reaches this machine.
    static bool IsLoopback(std::uint32_t address) { return (address >> 24) == 127; }
};
