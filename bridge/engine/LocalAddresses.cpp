// This machine's own IPv4 addresses, as the system's name look-up lists them.
#include "LocalAddresses.h"

#include <algorithm>
#include <cstring>

#include "../../framework/Afx.h"
#include "../core/Ipv4Text.h"

std::vector<std::uint32_t> LocalAddresses::Ipv4()
{
    std::vector<std::uint32_t> addresses;
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return addresses;
    // The machine's own name resolves to the addresses of its interfaces, without asking a server.
    const hostent* host = ::gethostbyname(name);
    if (!host || host->h_addrtype != AF_INET || host->h_length != 4)
        return addresses;
    for (char** entry = host->h_addr_list; *entry; ++entry) {
        in_addr address;
        std::memcpy(&address, *entry, sizeof address);
        const std::uint32_t value = ntohl(address.s_addr);
        if (!Ipv4Text::IsLoopback(value) && value != 0 &&
            std::find(addresses.begin(), addresses.end(), value) == addresses.end())
            addresses.push_back(value);
    }
    return addresses;
}
