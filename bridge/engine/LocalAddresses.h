// This machine's own IPv4 addresses, as the system's name look-up lists them.
#pragma once
#include <cstdint>
#include <vector>

class LocalAddresses {
public:
    // Host order, without duplicates; loopback addresses are left out (they are always there).
    // Empty when the look-up fails. The socket layer must be started.
    static std::vector<std::uint32_t> Ipv4();
};
