// The bridge engine below its window: a stand-in view, real sockets on loopback and the echoing exchange on COM2.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>
#include <string>
#include <vector>

#include "bridge/engine/BridgeEngine.h"
#include "bridge/engine/BridgeMessages.h"
#include "framework/AfxSocket.h"

namespace {
using Clock = std::chrono::steady_clock;

// The window the engine would have: it records what the engine shows.
struct FakeView : IBridgeView {
    void ShowStatus(const std::string&) override {}
    void ShowLineLost(const std::string&) override {}
    void ShowSpeed(int speedIndex) override { speeds.push_back(speedIndex); }
    void ShowParity(int) override {}
    void ShowStopBits(int) override {}
    void Lock(ControlGroup) override {}
    void ShowError(const std::string& text) override
    {
        errors.push_back(text);
        if (whileErrorShown)
            whileErrorShown();
    }
    void ShowErrorLater(const std::string&) override {}

    std::vector<int> speeds;
    std::vector<std::string> errors;
    std::function<void()> whileErrorShown;  // what happens while a box is up
};

// Receive notifications the pump below has handed to sockets.
int readNotifications = 0;

// Handles the window thread's messages until the condition holds; false after the deadline.
bool PumpUntil(const std::function<bool()>& condition, double seconds = 10)
{
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            char windowClass[64] = {};
            ::GetClassNameA(msg.hwnd, windowClass, sizeof windowClass);
            if (std::string(windowClass) == "AfxSocketNotifySink" && WSAGETSELECTEVENT(msg.lParam) == FD_READ)
                ++readNotifications;
            ::DispatchMessageA(&msg);
        }
    }
    return true;
}

int FreePort()
{
    SOCKET probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(probe);
    return ::ntohs(address.sin_port);
}

// A TCP client on loopback whose reads let the engine's thread go on meanwhile.
class Client {
public:
    explicit Client(int port)
    {
        handle = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = ::htons(static_cast<u_short>(port));
        address.sin_addr.s_addr = ::inet_addr("127.0.0.1");
        connected = ::connect(handle, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        u_long nonBlocking = 1;
        ::ioctlsocket(handle, FIONBIO, &nonBlocking);
    }
    ~Client() { Close(); }
    void Close()
    {
        if (handle != INVALID_SOCKET)
            ::closesocket(handle);
        handle = INVALID_SOCKET;
    }
    void Send(const std::string& bytes) const { ::send(handle, bytes.data(), static_cast<int>(bytes.size()), 0); }
    // Reads until `count` bytes came, the peer closed, or the deadline passed.
    std::string Receive(std::size_t count, double seconds = 10)
    {
        PumpUntil(
            [&] {
                char buffer[4096];
                const int got = ::recv(handle, buffer, sizeof buffer, 0);
                if (got > 0)
                    received.append(buffer, static_cast<std::size_t>(got));
                closedByPeer = closedByPeer || got == 0 || (got < 0 && ::WSAGetLastError() != WSAEWOULDBLOCK);
                return received.size() >= count || closedByPeer;
            },
            seconds);
        std::string taken = received.substr(0, count);
        received.erase(0, taken.size());
        return taken;
    }
    bool ClosedByPeer(double seconds = 10)
    {
        Receive(static_cast<std::size_t>(-1), seconds);
        return closedByPeer;
    }

    bool connected = false;

private:
    SOCKET handle = INVALID_SOCKET;
    std::string received;
    bool closedByPeer = false;
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

LRESULT CALLBACK ForwardToEngine(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* engine = reinterpret_cast<BridgeEngine*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (engine && message == WM_RESUME_RECEIVE)
        return engine->OnResumeReceive();
    if (engine && message == WM_LINE_RESULT)
        return engine->OnLineResult();
    if (engine && message == WM_LOG_FAILURE)
        return engine->OnLogFailure();
    if (engine && message == WM_LINE_LOST)
        return engine->OnLineLost(wParam);
    if (engine && message == WM_TIMER && engine->OnTimer(wParam))
        return 0;
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}

class BridgeEngineTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_TRUE(AfxSocketInit());
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = ForwardToEngine;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "BridgeEngineTestWindow";
        ::RegisterClassA(&windowClass);
    }

    void SetUp() override
    {
        window = ::CreateWindowExA(0, "BridgeEngineTestWindow", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                   ::GetModuleHandleA(nullptr), nullptr);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&engine));
        engine.Attach(window);
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
        ::DestroyWindow(window);
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

    std::string StopAndReadLog()
    {
        engine.Stop();
        return ReadLog();
    }

    std::string Tcp(int port) const { return "\nTCP(" + std::to_string(port) + "):"; }

    FakeView view;
    BridgeEngine engine{view};
    BridgeOptions options;
    HWND window = nullptr;
    std::string logPath;
};
}

TEST_F(BridgeEngineTest, ALoneByteComesAtOnceAndStopEndsTheReadThatWaits)
{
    Start();
    Client client(options.listenPort);
    // Nothing follows the byte: a read that waited for a fuller buffer would never hand it on.
    client.Send("Z");
    EXPECT_EQ(client.Receive(1), "Z");

    // The line is idle, its read waiting for the exchange: Stop must end that read, not wait it out.
    std::atomic<bool> stopped{false};
    std::thread watchdog([&] {
        for (int i = 0; i < 300 && !stopped; ++i)
            ::Sleep(100);
        if (!stopped) {
            std::fprintf(stderr, "Stop did not end the waiting read\n");
            ::ExitProcess(3);
        }
    });
    engine.Stop();
    stopped = true;
    watchdog.join();

    Start();
    Client again(options.listenPort);
    again.Send("Y");
    EXPECT_EQ(again.Receive(1), "Y");
}

TEST_F(BridgeEngineTest, ASpeedChangeBetweenReadsLosesNothing)
{
    Start();
    Client client(options.listenPort);
    Client config(options.configPort);
    std::string sent, echoed;
    for (const std::uint32_t rate : {9600u, 2400u, 4800u}) {
        const std::string before = "before " + std::to_string(rate) + "\r";
        client.Send(before);
        echoed += client.Receive(before.size());
        sent += before;
        const std::size_t shown = view.speeds.size();
        config.Send(SpeedRecord(rate));
        ASSERT_TRUE(PumpUntil([&] { return view.speeds.size() > shown; })) << "speed change to " << rate;
        const std::string after = "after\r";
        client.Send(after);
        echoed += client.Receive(after.size());
        sent += after;
    }
    EXPECT_EQ(echoed, sent);
    EXPECT_EQ(view.speeds, (std::vector<int>{7, 4, 5}));
}

TEST_F(BridgeEngineTest, AClientThatSendsWhileABoxIsUpIsReadOnceTheLineRuns)
{
    // The test run makes COM1 a device that is no serial line: its settings cannot be applied,
    // and the box saying so is up before the line's worker starts.
    options.comPort = 1;
    std::unique_ptr<Client> early;
    view.whileErrorShown = [&] {
        early = std::make_unique<Client>(options.listenPort);
        early->Send("sent while the box was up");
        const int before = readNotifications;
        ASSERT_TRUE(PumpUntil([&] { return readNotifications > before; })) << "the receive was not noticed";
    };
    engine.Start(options);
    ASSERT_EQ(view.errors, std::vector<std::string>{"Błąd ustawień COM1"});
    ASSERT_TRUE(early);
    EXPECT_NE(StopAndReadLog().find(Tcp(options.listenPort) + "sent while the box was up"), std::string::npos)
        << "the waiting receive was never resumed";
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
    ASSERT_TRUE(PumpUntil([&] { return !view.speeds.empty(); }));
    EXPECT_EQ(view.speeds, std::vector<int>{7}) << "the new client's record is read from its own first byte";

    const std::string log = StopAndReadLog();
    EXPECT_NE(log.find(Tcp(options.configPort) + " INCOMPLETE CFG [5] dropped" + Tcp(options.configPort) + SpeedRecord(9600)),
              std::string::npos)
        << log;
}
