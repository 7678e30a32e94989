// Positions of the panel's speed, parity and stop-bit lists and the line codes they stand for.
#pragma once
#include <cstdint>

// Parity and stop-bit codes are the Win32 DCB codes; positions are list indexes.
// Every lookup answers -1 for "no such entry", which the panel shows as no selection.
class SerialEncodings {
public:
    static constexpr int SPEED_COUNT = 13;
    static constexpr int PARITY_COUNT = 5;
    static constexpr int STOP_BITS_COUNT = 3;

    static int BaudAt(int index);
    static int SpeedIndexOf(int baud);
    static const char* SpeedText(int index);
    // The list follows a speed record for 2400, 4800, 9600 and 19200 only; any other rate
    // (38400 included) leaves the list showing what it showed, so -1.
    static int SpeedIndexAfterRecord(std::uint32_t rate);

    static int ParityCodeAt(int index);
    static int ParityIndexOf(int code);
    static const char* ParityText(int index);

    static int StopBitsCodeAt(int index);
    static int StopBitsIndexOf(int code);
    static const char* StopBitsText(int index);
};
