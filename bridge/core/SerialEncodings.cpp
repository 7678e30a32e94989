// Positions of the panel's speed, parity and stop-bit lists and the line codes they stand for.
#include "SerialEncodings.h"

namespace {
constexpr int BAUDS[SerialEncodings::SPEED_COUNT] = {
    110, 300, 600, 1200, 2400, 4800, 7200, 9600, 19200, 38400, 56000, 57600, 115200};
constexpr const char* SPEED_TEXTS[SerialEncodings::SPEED_COUNT] = {
    "110", "300", "600", "1200", "2400", "4800", "7200", "9600", "19200", "38400", "56000", "57600", "115200"};

// The list shows "Even" before "Odd", so positions 1 and 2 carry codes 2 and 1.
constexpr int PARITY_CODES[SerialEncodings::PARITY_COUNT] = {0, 2, 1, 3, 4};
constexpr const char* PARITY_TEXTS[SerialEncodings::PARITY_COUNT] = {"None ", "Even", "Odd", "Mark", "Space "};

constexpr int STOP_BITS_CODES[SerialEncodings::STOP_BITS_COUNT] = {0, 1, 2};
constexpr const char* STOP_BITS_TEXTS[SerialEncodings::STOP_BITS_COUNT] = {"1", "1,5", "2"};

template <int N>
int IndexOf(const int (&codes)[N], int code)
{
    for (int i = 0; i < N; ++i)
        if (codes[i] == code)
            return i;
    return -1;
}

template <int N, typename T>
T At(const T (&table)[N], int index, T missing)
{
    return index >= 0 && index < N ? table[index] : missing;
}
}

int SerialEncodings::BaudAt(int index) { return At(BAUDS, index, -1); }
int SerialEncodings::SpeedIndexOf(int baud) { return IndexOf(BAUDS, baud); }
int SerialEncodings::SpeedIndexAfterRecord(std::uint32_t rate)
{
    constexpr std::uint32_t FOLLOWED[] = {19200, 2400, 4800, 9600};
    for (std::uint32_t followed : FOLLOWED)
        if (rate == followed)
            return SpeedIndexOf(static_cast<int>(rate));
    return -1;
}

const char* SerialEncodings::SpeedText(int index) { return At(SPEED_TEXTS, index, static_cast<const char*>(nullptr)); }

int SerialEncodings::ParityCodeAt(int index) { return At(PARITY_CODES, index, -1); }
int SerialEncodings::ParityIndexOf(int code) { return IndexOf(PARITY_CODES, code); }
const char* SerialEncodings::ParityText(int index) { return At(PARITY_TEXTS, index, static_cast<const char*>(nullptr)); }

int SerialEncodings::StopBitsCodeAt(int index) { return At(STOP_BITS_CODES, index, -1); }
int SerialEncodings::StopBitsIndexOf(int code) { return IndexOf(STOP_BITS_CODES, code); }
const char* SerialEncodings::StopBitsText(int index) { return At(STOP_BITS_TEXTS, index, static_cast<const char*>(nullptr)); }
