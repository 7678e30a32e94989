// What the service tells the panel of its state: listeners, client, line, last failure.
#pragma once
#include <string>

// A whole picture, sent at once to a panel that connects and again at every change, so that a
// reader never needs the history to know the present.
struct ServiceStatus {
    // The port each listener serves; 0 while it is not listening (or, for the optional ones, not set).
    int dataPort = 0;
    int configPort = 0;
    int rfc2217Port = 0;
    // What the panel's status line shows: the client's address, "(brak połączenia)", or the COM
    // port's loss ("COM1 odłączony").
    std::string status;
    bool lineLost = false;
    // The line's rate in bit/s and its DCB parity and stop-bit codes; rate 0 before the line opened.
    int rate = 0;
    int parity = 0;
    int stopBits = 0;
    // The newest failure written to the event log and its local time ("2026-12-07 14:03:05"); empty when none.
    std::string failure;
    std::string failureTime;

    bool Listening() const { return dataPort != 0; }
    bool operator==(const ServiceStatus&) const = default;
};
