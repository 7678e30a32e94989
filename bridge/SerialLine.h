// The COM port towards the exchange: opening and settings, speed changes, and the worker that carries the bytes.
#pragma once
#include <atomic>
#include <cstdint>
#include <span>

#include "../framework/CEvent.h"
#include "../framework/CHandle.h"
#include "BridgeOptions.h"
#include "ClientChunk.h"

// The one class two threads use: the window thread opens, configures, starts, pauses and stops;
// the worker writes the client's chunks to the port and reads what the exchange sends. The worker
// waits on events, never on a clock: the exchange's first byte, the client's chunk, a finished
// write, or the window thread's pause and stop.
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
    // Stops the worker, dropping a write in progress, and closes the port.
    void Stop();
    // Holds the worker once the client's chunk is written, sets the rate when it differs,
    // purges both queues and lets the worker go on.
    SpeedChange ChangeSpeed(std::uint32_t rate);

    bool Running() const { return worker.IsValid(); }
    // True while the window thread waits for the worker (clicks are not acted on meanwhile).
    bool Waiting() const { return waits > 0; }

    // Window thread, inside WM_EXCHANGE_DATA only: what the worker read, then emptied.
    std::span<const std::uint8_t> ExchangeBytes() const { return {exchangeBuffer, exchangeCount.load()}; }
    void ExchangeTaken() { exchangeCount = 0; }

private:
    static UINT WorkerProc(void* self);
    void RunWorker();
    void HoldForPause();
    bool PostRead();
    void FinishRead(bool wait);
    void StartWrite();
    bool PostWrite();
    void FinishWrite(bool wait);
    void EndWrite();
    void CancelRead();
    void HandOver(std::size_t count);
    void ApplySettings(const SerialParameters& parameters);
    void WaitForWorker(bool paused);

    // Set before the worker starts, then read-only until it has stopped.
    ClientChunk& chunk;
    CHandle port;
    HWND target = nullptr;

    // Window thread only.
    DCB lineSettings{};
    COMMTIMEOUTS timeouts{};
    CHandle worker;  // the worker's thread, until it has ended
    int waits = 0;   // nesting of waits for the worker

    // Written by the window thread, read by the worker.
    std::atomic<bool> runFlag{false};
    std::atomic<bool> pauseRequest{false};
    std::atomic<std::uint32_t> lineRate{0};  // bits per second, for how long a write may take
    CEvent command{false, false};            // the pause request changed, or the worker must stop

    // Written by the worker, read by the window thread.
    std::atomic<bool> pauseAcknowledged{false};
    CEvent acknowledged{false, false};  // pause acknowledged changed

    // Worker only: the overlapped read that waits for the exchange and the write of the client's chunk.
    OVERLAPPED readOverlapped{};
    CEvent readDone{false, true};
    bool reading = false;
    OVERLAPPED writeOverlapped{};
    CEvent writeDone{false, true};
    bool writing = false;
    std::size_t writeOffset = 0;

    // Handed over through WM_EXCHANGE_DATA: the worker fills the buffer and sends the message;
    // the window thread reads and empties it while the worker waits in SendMessage.
    std::uint8_t exchangeBuffer[2000] = {};
    std::atomic<std::uint32_t> exchangeCount{0};
};
