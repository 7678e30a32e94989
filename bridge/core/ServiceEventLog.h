// Which of the service's failures and changes of state reach the event log, with which id and type.
#pragma once
#include <array>
#include <optional>
#include <string>

// The service shows no box: what the panel would show in one is written here in the same words
// (the caller passes the text). A failure that a retry meets again is not written again; the
// event log would otherwise fill with one line every few seconds for as long as a port is busy.
class ServiceEventLog {
public:
    enum class Type { ERROR_ENTRY, WARNING_ENTRY, INFORMATION_ENTRY };

    // Each class has its own event id, what administrators filter on; the message table in
    // resources/bridge/VextorEvents.mc holds one message per id, with the text as its insert.
    enum class Failure {
        SOCKETS,          // the socket start-up failed: nothing can be served
        SETTINGS,         // settings that make no sense: the service stays idle until they change
        LISTENER,         // a listener that cannot be made (address not up yet, port in use): retried
        SERIAL_PORT,      // the COM port is not there: waited for
        SERIAL_SETTINGS,  // the COM port refused its settings
        LINE_LOST,        // the COM port went away while in use: waited for
        LOG_FILE,         // the traffic log file cannot be written
        TRACE_FILE,       // the connection trace cannot be written
        UNEXPECTED,       // anything else (a handler that failed was abandoned): the service goes on
        STATUS_PIPE,      // the status pipe's name is held by another program: retried, bridging goes on
    };
    static constexpr int FAILURE_COUNT = 10;

    static constexpr unsigned ID_STARTED = 1;
    static constexpr unsigned ID_STOPPED = 2;
    static constexpr unsigned FIRST_FAILURE_ID = 100;   // + the class's position
    static constexpr unsigned FIRST_RECOVERY_ID = 200;  // + the class's position

    struct Entry {
        unsigned id;
        Type type;
        std::string text;  // the message table's %1
    };

    class Writer {
    public:
        virtual ~Writer() = default;
        virtual void Write(const Entry& entry) = 0;
    };

    explicit ServiceEventLog(Writer& entryWriter) : writer(entryWriter) {}

    void Started(const std::string& text) { writer.Write({ID_STARTED, Type::INFORMATION_ENTRY, text}); }
    void Stopped(const std::string& text) { writer.Write({ID_STOPPED, Type::INFORMATION_ENTRY, text}); }
    // Written when the class was working, or failing for another reason; the same failure met
    // again is a retry and is not written.
    void Failed(Failure failure, const std::string& text);
    // Written once when the class had failed; nothing when it was working anyway.
    void Recovered(Failure failure, const std::string& text);
    bool Failing(Failure failure) const { return failing[Index(failure)].has_value(); }

    static unsigned FailureId(Failure failure) { return FIRST_FAILURE_ID + static_cast<unsigned>(Index(failure)); }
    static unsigned RecoveryId(Failure failure) { return FIRST_RECOVERY_ID + static_cast<unsigned>(Index(failure)); }
    static Type FailureType(Failure failure);

private:
    static size_t Index(Failure failure) { return static_cast<size_t>(failure); }

    Writer& writer;
    // Per class, the text last written while it fails; the service's thread only.
    std::array<std::optional<std::string>, FAILURE_COUNT> failing;
};
