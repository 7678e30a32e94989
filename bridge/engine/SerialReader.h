// The serial worker's overlapped read of what the exchange sends: one byte to wake on, then what is queued behind it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "../../framework/Afx.h"
#include "../../framework/CEvent.h"
#include "SerialPort.h"

// Worker only. Every byte read goes to `deliver`, a cancelled read's included. A read the port
// refuses asks `gone` whether the port is gone: then `lose` lets go of it; otherwise the next
// read is tried after a pause (Broken). The pause, and the time the read of the rest may take,
// are fixed when they begin: the worker's wake-ups for other work never put them off.
class SerialReader {
public:
    using Deliver = std::function<void(const std::uint8_t* bytes, std::size_t count)>;
    using Gone = std::function<bool(DWORD error)>;
    using Lose = std::function<void(DWORD error)>;
    static constexpr std::size_t BUFFER_SIZE = 4096;

    SerialReader(SerialPort& port, Deliver deliver, Gone gone, Lose lose);
    SerialReader(const SerialReader&) = delete;
    SerialReader& operator=(const SerialReader&) = delete;

    // A fresh start: no read in progress, none refused.
    void Reset();
    bool Idle() const { return reading == Read::IDLE; }
    // The read of what was queued behind the first byte is in progress; it has a deadline.
    bool ReadingRest() const { return reading == Read::REST; }
    // The port refused a read: the next is tried after a pause.
    bool Broken() const { return readBroken; }
    void ClearBroken() { readBroken = false; }
    // Shortens `timeout` to the pause's end or the read of the rest's deadline, when one runs.
    void Deadline(DWORD& timeout) const;
    // After any wake-up: a pause that is over ends (the next read may be posted), and a read of
    // the rest past its deadline is cut short (what came goes on now).
    void OnTime();
    // Set when the read in progress has finished.
    HANDLE DoneEvent() const { return readDone.Handle(); }

    void Post();
    void Finish(bool wait);
    void Cancel();

private:
    bool PostRest();
    void Failed(DWORD error);

    SerialPort& port;
    Deliver deliver;
    Gone gone;
    Lose lose;

    // Worker only.
    OVERLAPPED readOverlapped{};
    CEvent readDone{false, true};
    enum class Read { IDLE, FIRST_BYTE, REST } reading = Read::IDLE;
    bool readBroken = false;  // the port refused a read: the next is tried after a pause
    bool cancelling = false;  // the read being finished was cancelled by the worker itself
    ULONGLONG dueAt = 0;      // while Broken or ReadingRest: when the pause or the read of the rest ends
    std::uint8_t readBuffer[BUFFER_SIZE] = {};
};
