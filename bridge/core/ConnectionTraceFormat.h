// Lines of the connection trace: local time with milliseconds, then what happened, in English.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "RefusalTally.h"

// A local time as the clock broke it down.
struct TraceTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

// Events name a client by its channel and address ("data 192.168.1.20:50123"); addresses are in host order.
class ConnectionTraceFormat {
public:
    enum class Channel { DATA, CONFIG };

    // "2026-12-07 10:15:02.123 <event>" and CR LF. Line breaks and other control characters in
    // the event become blanks: one event is one line.
    static std::string Line(const TraceTime& time, std::string_view event);

    static std::string Accepted(Channel channel, std::uint32_t address, int port);
    static std::string RefusedNotAllowed(Channel channel, std::uint32_t address, int port);
    static std::string RefusedLineInUse(Channel channel, std::uint32_t address, int port);
    // The refusals of an address after its line in full: "refused (not allowed) 10.0.0.99,
    // 1 999 more in the last minute" (thousands set apart by a blank).
    static std::string RefusalsCounted(std::uint32_t address, RefusalTally::Reason reason, std::uint64_t more);
    // The current client, dropped for the newcomer.
    static std::string TakenOver(Channel channel, std::uint32_t address, int port, std::uint32_t newcomer,
                                 int newcomerPort);
    // With why: "data 127.0.0.1:50123 closed (not reading, 1 MiB waiting)".
    static std::string Closed(Channel channel, std::uint32_t address, int port, std::string_view why = {});
    // A client that closed while the COM port was gone, and what it had sent that the line never took.
    static std::string ClosedWithoutLine(Channel channel, std::uint32_t address, int port, std::uint64_t discarded);
    // A speed record from this configuration client.
    static std::string SpeedSet(std::uint32_t address, int port, std::uint32_t rate);
    static std::string SpeedRefused(std::uint32_t address, int port, std::uint32_t rate);
    // The COM port failed as a removed device does, or could not be opened: "COM5 gone, system error 21".
    static std::string LineGone(const std::string& portName, unsigned long systemError);
    // The port was opened again with the line's settings: "COM5 back at 19200 bit/s".
    static std::string LineBack(const std::string& portName, std::uint32_t rate);
    // "listen 0.0.0.0 data 5000 config 5002 rfc2217 5003"; configPort 0: "config off"; rfc2217Port 0: nothing.
    static std::string Listen(const std::string& listenAddress, int dataPort, int configPort, int rfc2217Port);
    static std::string Stop() { return "stop"; }
    // "error log file Kavrel.txt not written, system error 112".
    static std::string LogFileFailed(const std::string& fileName, unsigned long systemError);
};
