// The COM port itself: opening \\.\COMn, its settings and time-outs, reopening, the modem lines, and line changes applied to it.
#pragma once
#include <atomic>
#include <cstdint>

#include "../../framework/Afx.h"
#include "../../framework/CHandle.h"
#include "../core/BridgeOptions.h"
#include "../core/LineCommand.h"
#include "../core/LineSettings.h"
#include "../core/LineSettingsDecision.h"

// Not shared by itself: the line hands it between threads. It is the window thread's while no
// worker runs and while the port is lost, the worker's otherwise (SerialLine's portLost says
// which); only Rate() and LineState() are used by both.
class SerialPort {
public:
    SerialPort() = default;
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Closes the port it had and opens port 1 to 255 by its \\.\COMn name; false when it cannot
    // be opened (OpenError then says why).
    bool Open(int portNumber);
    int Number() const { return number; }
    DWORD OpenError() const { return openError; }
    bool IsOpen() const { return port.IsValid(); }
    HANDLE Handle() const { return port.Get(); }
    void Close() { port.Close(); }
    // Applies the panel's settings, the driver's queue sizes and the read time-outs; false when
    // the port refused the settings.
    bool Configure(const SerialParameters& parameters);
    // Opens the port again with the settings it had (a speed a record set included; those of
    // `parameters` when it never opened); false while it cannot be opened.
    bool Reopen(const SerialParameters& parameters);
    // The modem lines (MS_CTS_ON, ...); false when unreadable.
    bool ModemStatus(DWORD& lines) const { return ::GetCommModemStatus(port.Get(), &lines) != FALSE; }
    // The port still answers a status query (one that is gone does not).
    bool Answers();
    // The count of bytes the driver holds unread; false when the port does not answer.
    bool Queued(DWORD& count);
    // Any thread: the line's state as a line-state notification has it (Rfc2217Session's LINE_
    // bits): the errors since the last such look, whichever thread's query cleared them, and
    // whether bytes wait to be read.
    std::uint8_t LineState();
    // Some flow control is in force: the settings the line last had from the bridge, or read back.
    bool FlowControl() const;
    // The outcome of an overlapped transfer on the port: the count it moved and the error it ended with.
    DWORD Transferred(OVERLAPPED& overlapped, bool wait, DWORD& error) const;
    // The line's speed in bits per second.
    std::uint32_t Rate() const { return lineRate; }

    // The modem lines as Configure and a reopened port leave them: DTR on, RTS and break off.
    void ResetModemLines();
    // Carries out a queued change and says what came of it, with the line's settings afterwards.
    LineResult Apply(const LineCommand& command);

private:
    void ApplySettings(const SerialParameters& parameters);
    bool ApplyToPort();
    std::uint32_t ApplyComPort(const Rfc2217Command& command, DCB& settings);
    bool Switch(LineSettingsDecision::Signal signal, bool on);
    bool Look(COMSTAT& status);

    // Whoever has the port (see above).
    CHandle port;
    int number = 0;
    DWORD openError = 0;      // why the last open failed
    bool configured = false;  // lineSettings came from a port: a reopen applies them as they are
    DCB lineSettings{};       // what a reopened port gets
    COMMTIMEOUTS timeouts{};
    bool dtrOn = true, rtsOn = false, breakOn = false;  // the modem lines as the line set them

    // bits per second, for how long a write may take: set by whichever thread has the port
    // (Configure and Reopen, or the worker's changes), read by both
    std::atomic<std::uint32_t> lineRate{0};
    // The driver's line errors a status query cleared and no line-state look has taken yet: gathered
    // by either thread's query, taken by the window thread's look.
    std::atomic<DWORD> faultsSeen{0};
};
