// What the bridge engine asks of the window that shows it; a test can stand in for the window.
#pragma once
#include <string>

// Controls the engine's steps lock while it listens; all of them come free again at Stop.
enum class ControlGroup {
    CONNECTION,         // the COM choice, the ports, the logging switches, the model: taken with the listeners
    LOG_RECEIVER,       // the receiver's address and port: taken when the log link starts
    LOG_FILE,           // the file name: taken when the log file is opened
    SERIAL_PARAMETERS,  // speed, parity and stop bits: taken when a COM port is opened
};

class IBridgeView {
public:
    virtual void ShowStatus(const std::string& text) = 0;
    // The COM port went away (what to say of it, as in the status) or is back (empty).
    virtual void ShowLineLost(const std::string& text) = 0;
    // A speed record moved the line: the speed list shows this position.
    virtual void ShowSpeed(int speedIndex) = 0;
    // A com-port client moved the line: the parity and stop-bit lists show these positions.
    virtual void ShowParity(int parityIndex) = 0;
    virtual void ShowStopBits(int stopBitsIndex) = 0;
    virtual void Lock(ControlGroup group) = 0;
    // A failure the user must see (a COM port that cannot be opened or set); returns when seen.
    virtual void ShowError(const std::string& text) = 0;
    // A failure to show once the window thread is free again; returns at once, so that the
    // caller (the exchange's hand-over, say) is never held by a box.
    virtual void ShowErrorLater(const std::string& text) = 0;

protected:
    ~IBridgeView() = default;
};
