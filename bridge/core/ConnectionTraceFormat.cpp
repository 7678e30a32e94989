// Lines of the connection trace: local time with milliseconds, then what happened, in English.
#include "ConnectionTraceFormat.h"

#include <cstdio>

#include "Ipv4Text.h"

namespace {
std::string Client(ConnectionTraceFormat::Channel channel, std::uint32_t address, int port)
{
    return (channel == ConnectionTraceFormat::Channel::DATA ? "data " : "config ") +
           Ipv4Text::FormatEndpoint(address, port);
}

// "1 999": thousands set apart by a blank, as the engineer reads them.
std::string Grouped(std::uint64_t value)
{
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, 1, ' ');
    return digits;
}
}

std::string ConnectionTraceFormat::Line(const TraceTime& t, std::string_view event)
{
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d.%03d ", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond);
    std::string line = stamp;
    for (char c : event)
        line += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? ' ' : c;
    line += "\r\n";
    return line;
}

std::string ConnectionTraceFormat::Accepted(Channel channel, std::uint32_t address, int port)
{
    return Client(channel, address, port) + " accepted";
}

std::string ConnectionTraceFormat::RefusedNotAllowed(Channel channel, std::uint32_t address, int port)
{
    return Client(channel, address, port) + " refused (not allowed)";
}

std::string ConnectionTraceFormat::RefusedLineInUse(Channel channel, std::uint32_t address, int port)
{
    return Client(channel, address, port) + " refused (line in use)";
}

std::string ConnectionTraceFormat::RefusalsCounted(std::uint32_t address, RefusalTally::Reason reason, std::uint64_t more)
{
    return std::string(reason == RefusalTally::Reason::NOT_ALLOWED ? "refused (not allowed) " : "refused (line in use) ") +
           Ipv4Text::Format(address) + ", " + Grouped(more) + " more in the last minute";
}

std::string ConnectionTraceFormat::TakenOver(Channel channel, std::uint32_t address, int port, std::uint32_t newcomer,
                                             int newcomerPort)
{
    return Client(channel, address, port) + " taken over by " + Ipv4Text::FormatEndpoint(newcomer, newcomerPort);
}

std::string ConnectionTraceFormat::Closed(Channel channel, std::uint32_t address, int port, std::string_view why)
{
    std::string event = Client(channel, address, port) + " closed";
    if (!why.empty())
        event.append(" (").append(why).append(")");
    return event;
}

std::string ConnectionTraceFormat::ClosedWithoutLine(Channel channel, std::uint32_t address, int port,
                                                     std::uint64_t discarded)
{
    return Closed(channel, address, port) + ", COM port gone: " + Grouped(discarded) + " bytes not written, discarded";
}

std::string ConnectionTraceFormat::SpeedSet(std::uint32_t address, int port, std::uint32_t rate)
{
    return Client(Channel::CONFIG, address, port) + " speed " + std::to_string(rate) + " set";
}

std::string ConnectionTraceFormat::SpeedRefused(std::uint32_t address, int port, std::uint32_t rate)
{
    return Client(Channel::CONFIG, address, port) + " speed " + std::to_string(rate) + " refused";
}

std::string ConnectionTraceFormat::LineGone(const std::string& portName, unsigned long systemError)
{
    return portName + " gone, system error " + std::to_string(systemError);
}

std::string ConnectionTraceFormat::LineBack(const std::string& portName, std::uint32_t rate)
{
    return portName + " back at " + std::to_string(rate) + " bit/s";
}

std::string ConnectionTraceFormat::Listen(const std::string& listenAddress, int dataPort, int configPort, int rfc2217Port)
{
    return "listen " + (listenAddress.empty() ? std::string("0.0.0.0") : listenAddress) + " data " +
           std::to_string(dataPort) + " config " + (configPort != 0 ? std::to_string(configPort) : "off") +
           (rfc2217Port != 0 ? " rfc2217 " + std::to_string(rfc2217Port) : "");
}

std::string ConnectionTraceFormat::LogFileFailed(const std::string& fileName, unsigned long systemError)
{
    return "error log file " + fileName + " not written, system error " + std::to_string(systemError);
}
