// The serial ports the panel offers beside COM1 and COM2: their names, labels and order.
#include "ComPortList.h"

#include <algorithm>
#include <cctype>

namespace {
constexpr const char* ABSENT_MARK = " (nieobecny)";

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front())))
        text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())))
        text.remove_suffix(1);
    return text;
}
}

int ComPortList::ParseName(std::string_view name)
{
    name = Trimmed(name);
    if (name.size() < 4 || name.size() > 6)
        return 0;
    for (int i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return 0;
    }
    int number = 0;
    for (const char c : name.substr(3)) {
        if (c < '0' || c > '9')
            return 0;
        number = number * 10 + (c - '0');
    }
    // "COM05" is no name Windows gives.
    return name[3] != '0' && number >= 1 && number <= MAX_PORT ? number : 0;
}

std::string ComPortList::Name(int number)
{
    return "COM" + std::to_string(number);
}

std::string ComPortList::DevicePath(int number)
{
    return "\\\\.\\" + Name(number);
}

std::string ComPortList::Label(int number, std::string_view friendlyName, bool present)
{
    const std::string name = Name(number);
    if (!present)
        return name + ABSENT_MARK;
    friendlyName = Trimmed(friendlyName);
    if (friendlyName.empty())
        return name;
    // Windows' friendly names of ports usually end in "(COM5)" already.
    if (friendlyName.find("(" + name + ")") != std::string_view::npos)
        return std::string(friendlyName);
    return std::string(friendlyName) + " (" + name + ")";
}

std::vector<ComPortList::Entry> ComPortList::Entries(const std::vector<Present>& present, int chosen)
{
    std::vector<Present> ports;
    for (const Present& port : present) {
        if (port.number < 3 || port.number > MAX_PORT)
            continue;
        // A port listed twice (two values naming it): the one with a name wins.
        const auto same = std::find_if(ports.begin(), ports.end(), [&](const Present& p) { return p.number == port.number; });
        if (same == ports.end())
            ports.push_back(port);
        else if (same->friendlyName.empty())
            same->friendlyName = port.friendlyName;
    }
    std::vector<Entry> entries;
    const bool chosenAbsent = chosen >= 3 && chosen <= MAX_PORT &&
                              std::none_of(ports.begin(), ports.end(), [&](const Present& p) { return p.number == chosen; });
    if (chosenAbsent)
        entries.push_back({chosen, Label(chosen, {}, false)});
    for (const Present& port : ports)
        entries.push_back({port.number, Label(port.number, port.friendlyName, true)});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.number < b.number; });
    return entries;
}
