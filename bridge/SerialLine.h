// The COM port towards the exchange: opening and settings, speed changes, and the worker that carries the bytes.
#pragma once
#include <atomic>
#include <cstdint>
#include <span>

#include "../framework/CEvent.h"
#include "../framework/CHandle.h"
#include "../framework/CWinThread.h"
#include "BridgeOptions.h"
#include "ClientChunk.h"

// The one class two threads use: the window thread opens, configures, starts, pauses and stops;
// the worker writes the client's chunks to the port and reads what the exchange sends.
class SerialLine {
public:
    enum class SpeedChange { STATE_UNREADABLE, UNCHANGED, SET, REFUSED };

    // The line drains `chunk`; both live until the worker has stopped.
    explicit SerialLine(ClientChunk& chunk);
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Window thread. Opening stops a line that runs; false when the port cannot be opened.
    bool Open(int portNumber);
    // Applies the lists' settings, the driver's queue sizes and the read time-outs; false
    // when the port refused the settings.
    bool Configure(const SerialParameters& parameters);
    // Starts the worker, also on a port that failed to open (it then reads nothing). The
    // worker sends WM_EXCHANGE_DATA and posts WM_RESUME_RECEIVE to `target`.
    void Start(HWND target);
    // Stops the worker and closes the port.
    void Stop();
    // Holds the worker, sets the rate when it differs, purges both queues, lets the worker go on.
    SpeedChange ChangeSpeed(std::uint32_t rate);

    bool Running() const { return worker != nullptr; }
    // True while the window thread waits for the worker (clicks are not acted on meanwhile).
    bool Waiting() const { return waits > 0; }

    // Window thread, inside WM_EXCHANGE_DATA only: what the worker read, then emptied.
    std::span<const std::uint8_t> ExchangeBytes() const { return {exchangeBuffer, exchangeCount.load()}; }
    void ExchangeTaken() { exchangeCount = 0; }

private:
    static UINT WorkerProc(void* self);
    void RunWorker();
    void WriteChunk();
    void ApplySettings(const SerialParameters& parameters);
    void WaitForWorker(const std::atomic<bool>& flag, bool value);
    void Pause();
    void Resume();

    // Set before the worker starts, then read-only until it has stopped.
    ClientChunk& chunk;
    CHandle port;
    HWND target = nullptr;

    // Window thread only.
    DCB lineSettings{};
    COMMTIMEOUTS timeouts{};
    CWinThread* worker = nullptr;  // the running worker; never dereferenced
    int waits = 0;                 // nesting of waits for the worker

    // Written by the window thread, read by the worker.
    std::atomic<bool> runFlag{false};
    std::atomic<bool> pauseRequest{false};
    CEvent resumeSignal{false, false};  // the pause request dropped, or the worker must stop

    // Written by the worker, read by the window thread.
    std::atomic<bool> aliveFlag{false};
    std::atomic<bool> pauseAcknowledged{false};
    CEvent workerSignal{false, false};  // alive or pause acknowledged changed

    // Handed over through WM_EXCHANGE_DATA: the worker fills the buffer and sends the message;
    // the window thread reads and empties it while the worker waits in SendMessage.
    std::uint8_t exchangeBuffer[2000] = {};
    std::atomic<std::uint32_t> exchangeCount{0};
};
