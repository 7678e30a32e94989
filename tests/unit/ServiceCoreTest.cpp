// The service's portable decisions: which verb a command line asks for, and what reaches the event log.
#include <gtest/gtest.h>

#include <vector>

#include "bridge/core/CommandLineVerb.h"
#include "bridge/core/ServiceEventLog.h"
#include "bridge/core/ServiceStatusBoard.h"
#include "bridge/service/ServiceEngineView.h"

using Verb = CommandLineVerb::Verb;
using Failure = ServiceEventLog::Failure;
using Type = ServiceEventLog::Type;

TEST(CommandLineVerb, UnknownWordsAndExtraArgumentsAreRefusedNamingTheWord)
{
    for (const std::vector<std::wstring>& line : std::vector<std::vector<std::wstring>>{
             {L"--Service"}, {L"--install"}, {L"service"}, {L""}, {L"--panel"}, {L"/install-service"}}) {
        const CommandLineVerb parsed = CommandLineVerb::Parse(line);
        EXPECT_EQ(parsed.verb, Verb::REFUSED);
        EXPECT_NE(parsed.refusal.find(L"\"" + line[0] + L"\""), std::wstring::npos) << parsed.refusal.size();
    }
    const CommandLineVerb extra = CommandLineVerb::Parse({L"--install-service", L"now"});
    EXPECT_EQ(extra.verb, Verb::REFUSED);
    EXPECT_NE(extra.refusal.find(L"\"now\""), std::wstring::npos);
    EXPECT_EQ(CommandLineVerb::Parse({L"--service", L"--service"}).verb, Verb::REFUSED);
    // The panel's elevated copies get exactly one word, and nothing may ride along with it.
    EXPECT_EQ(CommandLineVerb::Parse({L"--start-service"}).verb, Verb::START_SERVICE);
    EXPECT_EQ(CommandLineVerb::Parse({L"--stop-service"}).verb, Verb::STOP_SERVICE);
    EXPECT_EQ(CommandLineVerb::Parse({L"--edit-service-settings"}).verb, Verb::EDIT_SERVICE_SETTINGS);
    EXPECT_EQ(CommandLineVerb::Parse({L"--start-service", L"--install-service"}).verb, Verb::REFUSED);
    EXPECT_EQ(CommandLineVerb::Parse({L"--edit-service-settings", L"/s"}).verb, Verb::REFUSED);
}

namespace {
struct FakeWriter : ServiceEventLog::Writer {
    std::vector<ServiceEventLog::Entry> entries;
    void Write(const ServiceEventLog::Entry& entry) override { entries.push_back(entry); }
    std::vector<unsigned> Ids() const
    {
        std::vector<unsigned> ids;
        for (const auto& entry : entries)
            ids.push_back(entry.id);
        return ids;
    }
};
}

namespace {
// The service's chain as it runs: the event log writes through the status board to the writer.
struct ServiceChain {
    FakeWriter writer;
    std::vector<ServiceStatus> published;
    ServiceStatusBoard board{writer, [this](const ServiceStatus& s) { published.push_back(s); },
                             [] { return std::string("2026-12-07 14:03:05"); }};
    ServiceEventLog log{board};
    ServiceEngineView view{log, board};
};
}

TEST(ServiceEventLog, AFailureKeptByRetriesIsWrittenOnceAndItsRecoveryOnce)
{
    FakeWriter writer;
    ServiceEventLog log(writer);
    const std::string busy = "Port 5000 jest zajęty.";
    for (int retry = 0; retry < 5; ++retry)
        log.Failed(Failure::LISTENER, busy);
    ASSERT_EQ(writer.Ids(), std::vector<unsigned>{102});
    EXPECT_EQ(writer.entries[0].type, Type::WARNING_ENTRY);
    EXPECT_EQ(writer.entries[0].text, busy);
    EXPECT_TRUE(log.Failing(Failure::LISTENER));

    // Another class failing meanwhile is its own state.
    log.Failed(Failure::LOG_FILE, "Nie można otworzyć pliku Kavrel.txt");
    log.Recovered(Failure::LISTENER, "Nasłuch na porcie 5000");
    log.Recovered(Failure::LISTENER, "Nasłuch na porcie 5000");
    ASSERT_EQ(writer.Ids(), (std::vector<unsigned>{102, 106, 202}));
    EXPECT_EQ(writer.entries[2].type, Type::INFORMATION_ENTRY);
    EXPECT_FALSE(log.Failing(Failure::LISTENER));
    EXPECT_TRUE(log.Failing(Failure::LOG_FILE));

    // Failing again after the recovery is a new state; so is another reason while failing.
    log.Failed(Failure::LISTENER, busy);
    log.Failed(Failure::LISTENER, "Adres 10.255.255.1 nie należy do tego komputera.");
    EXPECT_EQ(writer.entries.size(), 5u);
}

TEST(ServiceEventLog, ARecoveryWithoutAFailureWritesNothing)
{
    FakeWriter writer;
    ServiceEventLog log(writer);
    log.Recovered(Failure::SERIAL_PORT, "COM1");
    EXPECT_TRUE(writer.entries.empty());
    log.Started("Vextor");
    log.Stopped("Vextor");
    EXPECT_EQ(writer.Ids(), (std::vector<unsigned>{ServiceEventLog::ID_STARTED, ServiceEventLog::ID_STOPPED}));
}
TEST(ServiceEventLog, EachClassHasItsOwnIdAndTheDocumentedType)
{
    // Administrators filter the event log on these ids: a change here breaks their filters.
    const struct {
        Failure failure;
        unsigned id;
        Type type;
    } table[] = {
        {Failure::SOCKETS, 100, Type::ERROR_ENTRY},         {Failure::SETTINGS, 101, Type::ERROR_ENTRY},
        {Failure::LISTENER, 102, Type::WARNING_ENTRY},      {Failure::SERIAL_PORT, 103, Type::WARNING_ENTRY},
        {Failure::SERIAL_SETTINGS, 104, Type::ERROR_ENTRY}, {Failure::LINE_LOST, 105, Type::WARNING_ENTRY},
        {Failure::LOG_FILE, 106, Type::ERROR_ENTRY},        {Failure::TRACE_FILE, 107, Type::WARNING_ENTRY},
        {Failure::UNEXPECTED, 108, Type::ERROR_ENTRY},      {Failure::STATUS_PIPE, 109, Type::WARNING_ENTRY},
    };
    static_assert(std::size(table) == ServiceEventLog::FAILURE_COUNT);
    for (const auto& row : table) {
        EXPECT_EQ(ServiceEventLog::FailureId(row.failure), row.id);
        EXPECT_EQ(ServiceEventLog::RecoveryId(row.failure), row.id + 100);
        EXPECT_EQ(ServiceEventLog::FailureType(row.failure), row.type);
    }
}

TEST(ServiceEngineView, APortMissingAtTheStartIsOneFailureAndOneRecoveryNamingThePort)
{
    ServiceChain chain;
    auto& [writer, published, board, log, view] = chain;
    view.SetPortName("COM1");
    // As the engine tells it: the open fails, the settings then fail on no port, the port is waited for.
    view.Failure(FailureKind::SERIAL_PORT, "Handle Error COM1");
    view.Failure(FailureKind::SERIAL_SETTINGS, "Błąd ustawień COM1");
    view.LineLost("COM1 odłączony");
    ASSERT_EQ(writer.Ids(), std::vector<unsigned>{103});
    EXPECT_EQ(writer.entries[0].text, "Handle Error COM1");
    view.LineBack();
    ASSERT_EQ(writer.Ids(), (std::vector<unsigned>{103, 203}));
    EXPECT_EQ(writer.entries[1].text, "COM1");

    // Lost while in use, then back; a loss the stopping engine takes back is no recovery.
    view.LineLost("COM1 odłączony");
    view.LineBack();
    view.LineLost("COM1 odłączony");
    view.Stopping(true);
    view.LineBack();
    EXPECT_EQ(writer.Ids(), (std::vector<unsigned>{103, 203, 105, 205, 105}));
}

TEST(ServiceEngineView, EachKindOfFailureGoesToItsClassInThePanelsWords)
{
    ServiceChain chain;
    auto& [writer, published, board, log, view] = chain;
    view.Failure(FailureKind::SERIAL_SETTINGS, "Błąd ustawień COM3");
    view.Failure(FailureKind::LOG_FILE, "log");
    view.Failure(FailureKind::TRACE_FILE, "trace");
    view.Failure(FailureKind::OTHER, "handler");
    view.Failure(FailureKind::OTHER, "handler");
    EXPECT_EQ(writer.Ids(), (std::vector<unsigned>{104, 106, 107, 108}));
    EXPECT_EQ(writer.entries[0].text, "Błąd ustawień COM3");
}

TEST(ServiceStatusBoard, FollowsTheEngineAndTheNewestFailureAndPublishesOnlyChanges)
{
    ServiceChain chain;
    auto& [writer, published, board, log, view] = chain;
    BridgeOptions options;
    options.listenPort = 5000;
    options.configPort = 5002;
    options.serial = {19200, 2, 0};
    board.Listening(options, "(brak połączenia)");
    view.StatusChanged("127.0.0.2");
    view.RateSet(9600, RateCause::SPEED_RECORD);
    view.RateSet(9600, RateCause::COM_PORT_CLIENT);
    ASSERT_EQ(published.size(), 3u) << "an unchanged state is not sent again";
    EXPECT_EQ(published.back().status, "127.0.0.2");
    EXPECT_EQ(published.back().rate, 9600);
    EXPECT_EQ(published.back().parity, 2);
    EXPECT_EQ((std::vector<int>{published.back().dataPort, published.back().configPort}), (std::vector<int>{5000, 5002}));

    view.LineLost("COM1 odłączony");
    EXPECT_TRUE(board.Current().lineLost);
    EXPECT_EQ(board.Current().failure, "COM1 odłączony");
    EXPECT_EQ(board.Current().failureTime, "2026-12-07 14:03:05");
    view.LineBack();
    EXPECT_FALSE(board.Current().lineLost);
    EXPECT_EQ(board.Current().failure, "COM1 odłączony") << "a recovery keeps the last failure on show";
    board.Idle();
    EXPECT_FALSE(board.Current().Listening());
    EXPECT_EQ(writer.Ids(), (std::vector<unsigned>{105, 205}));
}
