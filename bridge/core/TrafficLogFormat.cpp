// Texts of the traffic log's entries: each starts with a line feed, none has a terminator.
#include "TrafficLogFormat.h"

namespace {
// Rates are printed as signed 32-bit numbers, the way the log has always shown them.
std::string Signed(std::uint32_t value)
{
    return std::to_string(static_cast<std::int32_t>(value));
}

std::string Tcp(int port)
{
    return "\nTCP(" + std::to_string(port) + "):";
}
}

std::string TrafficLogFormat::ClientPrefix(int port) { return Tcp(port); }

std::string TrafficLogFormat::SpeedRequest(int configPort, std::uint32_t rate)
{
    return Tcp(configPort) + " CFG_SPEED [" + Signed(rate) + "]";
}

std::string TrafficLogFormat::SpeedSet(int configPort, std::uint32_t rate)
{
    return Tcp(configPort) + " SUCCESS of SetCommState(" + Signed(rate) + ")";
}

std::string TrafficLogFormat::SpeedRefused(int configPort, std::uint32_t rate)
{
    return Tcp(configPort) + " ERROR of SetCommState(" + Signed(rate) + ")";
}

std::string TrafficLogFormat::StateUnreadable(int configPort)
{
    return Tcp(configPort) + " ERROR of GetCommState()";
}

std::string TrafficLogFormat::UnknownRecord(int configPort, std::uint32_t code)
{
    return Tcp(configPort) + " UNKNOWN CFG [" + Signed(code) + "] skipped";
}

std::string TrafficLogFormat::PartialRecordDropped(int configPort, std::size_t count)
{
    return Tcp(configPort) + " INCOMPLETE CFG [" + std::to_string(count) + "] dropped";
}
