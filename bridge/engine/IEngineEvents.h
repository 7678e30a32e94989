// What the bridge engine tells its face, in line terms; a face (the panel, a test) decides how to show it.
#pragma once
#include <cstdint>
#include <string>

// The steps of Listen that take more of the settings, in the order they come; all of them are
// given back at Stop.
enum class ListenStage {
    LISTENING,            // the listeners are up: the COM choice, the ports, the logging switches are taken
    LOG_RECEIVER_LINKED,  // the log link started: the receiver's address and port are taken
    LOG_FILE_OPEN,        // the log file is open: its name is taken
    LINE_OPENING,         // a COM port is being opened: the serial settings are taken
};

// Who moved the line's rate.
enum class RateCause {
    SPEED_RECORD,     // a configuration client's speed record
    COM_PORT_CLIENT,  // a com-port client's setting
};

// What failed, for a face that sorts failures (the service's event log); the panel shows all alike.
enum class FailureKind {
    SERIAL_PORT,      // the COM port cannot be opened: it is waited for
    SERIAL_SETTINGS,  // the COM port refused its settings
    LOG_FILE,         // the traffic log file cannot be made or written
    TRACE_FILE,       // the connection trace cannot be made or written
    OTHER,            // anything else, such as a handler that failed and was abandoned
};

// Every call comes on the engine's thread and returns at once: the engine never waits for a face.
class IEngineEvents {
public:
    virtual void StageReached(ListenStage stage) = 0;
    // The data client's address, "(brak połączenia)", or while the COM port is gone what to say of it.
    virtual void StatusChanged(const std::string& text) = 0;
    // The COM port went away (what to say of it, as in the status) or is back.
    virtual void LineLost(const std::string& text) = 0;
    virtual void LineBack() = 0;
    // The line now runs at this rate (bit/s), with this parity or stop-bit code (Win32 DCB codes).
    virtual void RateSet(std::uint32_t bitsPerSecond, RateCause cause) = 0;
    virtual void ParitySet(int parityCode) = 0;
    virtual void StopBitsSet(int stopBitsCode) = 0;
    // A failure someone should know of (a COM port that cannot be opened or set, a log file that
    // cannot be written); reported and left: the engine goes on at once.
    virtual void Failure(FailureKind kind, const std::string& text) = 0;

protected:
    ~IEngineEvents() = default;
};
