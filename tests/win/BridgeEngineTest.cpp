// The bridge engine below its window: a stand-in view, real sockets on loopback and the echoing exchange on COM2.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Loopback.h"
#include "bridge/engine/BridgeEngine.h"
#include "framework/AfxSocket.h"

namespace {
using namespace Loopback;

// The face the engine would have: it records what the engine reports.
struct FakeView : IEngineEvents {
    void StageReached(ListenStage) override {}
    void StatusChanged(const std::string&) override {}
    void LineLost(const std::string&) override {}
    void LineBack() override {}
    void RateSet(std::uint32_t bitsPerSecond, RateCause) override { rates.push_back(bitsPerSecond); }
    void ParitySet(int) override {}
    void StopBitsSet(int) override {}
    void Failure(FailureKind, const std::string& text) override { errors.push_back(text); }

    std::vector<std::uint32_t> rates;
    std::vector<std::string> errors;
};

// A speed record: code 3, one ignored byte, the rate little-endian.
std::string SpeedRecord(std::uint32_t rate, char ignored = 0)
{
    std::string record("\x03\x00\x00\x00", 4);
    record += ignored;
    for (int shift = 0; shift < 32; shift += 8)
        record += static_cast<char>((rate >> shift) & 0xFF);
    return record;
}

class BridgeEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(AfxSocketInit()); }

    void SetUp() override
    {
        char directory[MAX_PATH];
        ::GetTempPathA(MAX_PATH, directory);
        logPath = std::string(directory) + "engine-test-" + std::to_string(::GetCurrentProcessId()) + ".txt";
        options.listenPort = FreePort();
        options.configPort = FreePort();
        // The test run links COM2 to a simulated exchange that echoes every byte.
        options.comPort = 2;
        options.serial.baudRate = 19200;
        options.logToFile = true;
        options.logFileName = logPath;
    }

    void TearDown() override
    {
        if (engine.Listening())
            engine.Stop();
        ::DeleteFileA(logPath.c_str());
    }

    void Start()
    {
        engine.Start(options);
        ASSERT_TRUE(view.errors.empty()) << "COM2 must lead to the echoing exchange: " << view.errors.front();
    }

    // The log as written so far: a reader may open it while the engine writes.
    std::string ReadLog() const
    {
        std::ifstream file(logPath, std::ios::binary);
        std::stringstream content;
        content << file.rdbuf();
        return content.str();
    }

    std::string Tcp(int port) const { return "\nTCP(" + std::to_string(port) + "):"; }

    FakeView view;
    BridgeEngine engine{view};
    BridgeOptions options;
    std::string logPath;
};
}

TEST_F(BridgeEngineTest, AFailureIsReportedWithoutWaitingAndTheLineRunsOn)
{
    // The test run makes COM1 a device that is no serial line: its settings cannot be applied.
    // Listen reports that and goes on at once, with nobody reading the report yet.
    options.comPort = 1;
    engine.Start(options);
    ASSERT_EQ(view.errors, std::vector<std::string>{"Błąd ustawień COM1"});
    Client client(options.listenPort);
    client.Send("sent after the failure");
    ASSERT_TRUE(PumpUntil([&] { return ReadLog().find(Tcp(options.listenPort) + "sent after the failure") != std::string::npos; }))
        << "the client was not read";
}

TEST_F(BridgeEngineTest, APartialRecordDiesWithItsClientAndStopDropsWhatTheLineNeverTook)
{
    Start();
    {
        Client departing(options.configPort);
        departing.Send(SpeedRecord(2400).substr(0, 5));
        departing.Close();
        ASSERT_TRUE(PumpUntil([&] { return ReadLog().find("INCOMPLETE CFG [5] dropped") != std::string::npos; }))
            << "the departure was not noticed";
    }
    Client next(options.configPort);
    next.Send(SpeedRecord(9600));
    ASSERT_TRUE(PumpUntil([&] { return !view.rates.empty(); }));
    EXPECT_EQ(view.rates, std::vector<std::uint32_t>{9600}) << "the new client's record is read from its own first byte";

    engine.Stop();
    const std::string log = ReadLog();
    EXPECT_NE(log.find(Tcp(options.configPort) + " INCOMPLETE CFG [5] dropped" + Tcp(options.configPort) + SpeedRecord(9600)),
              std::string::npos)
        << log;
}
