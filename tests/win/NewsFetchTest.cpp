// Fetching from the news server on loopback: odd servers, refusals and time-outs.
#include <chrono>
#include <cstdlib>

#include "NewsTestSupport.h"
#include "framework/AfxSocket.h"
#include "news/CNewsConnection.h"
#include "news/CNewsManager.h"

namespace {
// The news server of the test run serves one mode per port, counted from NEWS_SERVER_PORT.
enum Mode { SERVE, CLOSE, SILENT, DRIP, BIG, ZEROS, TRICKLE, REFUSED };

int PortFor(Mode mode)
{
    const char* base = std::getenv("NEWS_SERVER_PORT");
    return (base ? std::atoi(base) : 7700) + mode;
}

class NewsFetchTest : public NewsRegistryTest {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(AfxSocketInit()); }
    void SetUp() override
    {
        NewsRegistryTest::SetUp();
        manager.LoadSettings();
        manager.SetHost("127.0.0.1");
    }
    double FetchFrom(Mode mode)
    {
        manager.SetPort(PortFor(mode));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(manager.Fetch(), 0);
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    CNewsManager manager;
};

const char* SAMPLE[] = {"Nowa wersja programu konfiguracyjnego", "Aktualizacja oprogramowania centrali",
                         "Zapraszamy na szkolenie dla instalatorów"};
}

TEST_F(NewsFetchTest, ZeroBytesAreDroppedAndASlowServerIsReadToItsEnd)
{
    FetchFrom(ZEROS);
    ASSERT_EQ(manager.GetCount(), 3u);
    EXPECT_EQ(manager.GetAt(1).text, SAMPLE[1]);
    manager.RemoveAll();
    FetchFrom(DRIP);
    ASSERT_EQ(manager.GetCount(), 3u);
    EXPECT_EQ(manager.GetAt(2).text, SAMPLE[2]);
}

TEST_F(NewsFetchTest, OnlyTheFirst15000BytesCount)
{
    FetchFrom(BIG);
    std::string sent;
    for (int i = 1; i <= 200; ++i)
        sent += std::to_string(i) + "&2006.01.01&" + std::string(90, 'x') + "\n";
    NewsList expected;
    expected.ApplyReply(sent.substr(0, CNewsConnection::REPLY_LIMIT), 0);
    ASSERT_EQ(manager.GetCount(), expected.GetCount());
    for (std::size_t i = 0; i < expected.GetCount(); ++i) {
        EXPECT_EQ(manager.GetAt(i).number, expected.GetAt(i).number);
        EXPECT_EQ(manager.GetAt(i).text, expected.GetAt(i).text);
    }
    EXPECT_LT(manager.GetAt(5).number, 200);
}

TEST_F(NewsFetchTest, AServerThatClosesOrRefusesLeavesTheListAsItWas)
{
    manager.ApplyReply("4&&stored\n", 0);
    const double closing = FetchFrom(CLOSE);
    const double refused = FetchFrom(REFUSED);
    ASSERT_EQ(manager.GetCount(), 1u);
    EXPECT_EQ(manager.GetAt(0).text, "stored");
    // Neither waits for a 10-second time-out: a close and three refusals end at once.
    EXPECT_LT(closing, 9.0);
    EXPECT_LT(refused, 9.0);
}

TEST_F(NewsFetchTest, AServerThatTricklesFailsTheFetchAtItsOverallLimit)
{
    // One byte every 9 s never lets the 10 s of silence pass; the fetch's own limit ends it.
    manager.ApplyReply("4&&stored\n", 0);
    const double seconds = FetchFrom(TRICKLE);
    EXPECT_LE(seconds, CNewsConnection::FETCH_LIMIT_MS / 1000.0 + 1.0);
    ASSERT_EQ(manager.GetCount(), 1u);
    EXPECT_EQ(manager.GetAt(0).text, "stored");
}

TEST_F(NewsFetchTest, ASilentServerIsGivenItsTwoTimeOuts)
{
    CNewsConnection connection("127.0.0.1", PortFor(SILENT));
    ASSERT_EQ(connection.ConnectWithRetries(), 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(connection.WaitForData(), -2);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10000));
    start = std::chrono::steady_clock::now();
    EXPECT_EQ(connection.ReadAll(), -2);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(10000));
    EXPECT_EQ(connection.ReplyLength(), 0);
}

TEST_F(NewsFetchTest, AnUnresolvableHostFailsEveryAttempt)
{
    CNewsConnection connection("no-such-host.invalid", 7000);
    EXPECT_EQ(connection.ConnectWithRetries(), 1);
    EXPECT_EQ(connection.WaitForData(), -3);
    EXPECT_EQ(connection.ReadAll(), -3);
}
