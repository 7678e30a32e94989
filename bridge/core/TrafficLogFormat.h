// Texts of the traffic log's entries: each starts with a line feed, none has a terminator.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class TrafficLogFormat {
public:
    static constexpr const char EXCHANGE_PREFIX[] = "\nCentrala:";  // 10 bytes

    static std::string ClientPrefix(int port);
    static std::string SpeedRequest(int configPort, std::uint32_t rate);
    static std::string SpeedSet(int configPort, std::uint32_t rate);
    static std::string SpeedRefused(int configPort, std::uint32_t rate);
    static std::string StateUnreadable(int configPort);
    static std::string UnknownRecord(int configPort, std::uint32_t code);
    // A configuration client left in the middle of a record: its `count` bytes are dropped.
    static std::string PartialRecordDropped(int configPort, std::size_t count);
};
