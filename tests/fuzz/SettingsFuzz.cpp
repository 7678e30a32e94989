// Stored settings of any value shown in the panel and copied back.
#include "FuzzInput.h"
#include "bridge/core/BridgeSettings.h"
#include "bridge/core/SerialEncodings.h"

namespace {
int Value(FuzzInput& input)
{
    // Mostly the meaningful small values, sometimes anything at all.
    const std::uint8_t kind = input.Byte();
    return kind < 128 ? static_cast<int>(kind % 8) : kind < 192 ? static_cast<int>(input.Word() % 130000)
                                                               : static_cast<int>(input.Word());
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    BridgeSettings stored;
    stored.comPort = Value(input);
    stored.baudRate = input.Byte() & 1 ? SerialEncodings::BaudAt(input.Byte() % 13) : Value(input);
    stored.parity = Value(input);
    stored.stopBits = Value(input);
    stored.listenPort = Value(input);
    stored.logPort = Value(input);
    stored.logToFile = Value(input);
    stored.logToTcp = Value(input);
    stored.logAddress = input.Bytes(input.Byte());
    stored.logFileName = input.Bytes(input.Byte());

    const PanelValues panel = stored.ToPanel();
    FUZZ_CHECK(panel.com1Selected + panel.com2Selected + (panel.otherComPort != 0) <= 1);
    FUZZ_CHECK(panel.speedIndex >= -1 && panel.speedIndex < SerialEncodings::SPEED_COUNT);
    FUZZ_CHECK(panel.parityIndex >= -1 && panel.parityIndex < SerialEncodings::PARITY_COUNT);
    FUZZ_CHECK(panel.stopBitsIndex >= -1 && panel.stopBitsIndex < SerialEncodings::STOP_BITS_COUNT);
    FUZZ_CHECK((panel.speedIndex >= 0) == (SerialEncodings::SpeedIndexOf(stored.baudRate) >= 0));

    // Back without touching anything: what the panel could not show survives, the rest comes back.
    BridgeSettings back = stored;
    back.CopyFromPanel(panel);
    FUZZ_CHECK(back.comPort == (stored.comPort >= 1 && stored.comPort <= 255 ? stored.comPort : 0));
    FUZZ_CHECK(back.baudRate == stored.baudRate && back.parity == stored.parity && back.stopBits == stored.stopBits);
    FUZZ_CHECK(back.listenPort == stored.listenPort && back.logPort == stored.logPort);
    FUZZ_CHECK(back.logAddress == stored.logAddress && back.logFileName == stored.logFileName);
    FUZZ_CHECK(back.logToFile == (stored.logToFile != 0) && back.logToTcp == (stored.logToTcp != 0));
    return 0;
}
