// The COM port towards the exchange: opening and settings, queued line changes, and the worker that carries the bytes.
#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "../../framework/Afx.h"
#include "../../framework/CEvent.h"
#include "../../framework/CHandle.h"
#include "../core/BridgeOptions.h"
#include "../core/ByteRing.h"
#include "ClientChunk.h"
#include "../core/LineCommand.h"
#include "TrafficLog.h"

// The one class two threads use. The window thread opens, configures, starts and stops the line,
// hands it the data client's socket and queues line changes; it never waits for the worker but
// at Stop. The worker writes the client's chunks to the port, reads what the exchange sends, logs
// it and sends it to the data client itself, and applies the queued changes between chunks. It
// waits on events, never on a clock, but while a read is retried or cut short and while a queued
// change waits for a chunk the port is slow to take.
//
// A port that fails as a removed device does (an adapter unplugged) is let go: the worker ends
// what it had on its way, keeps the part of the client's chunk the port had not taken, posts
// WM_LINE_LOST and touches the port no more. The window thread then owns the handle: it closes
// it and opens the port again when it is back (Reopen), and the worker goes on from there.
class SerialLine {
public:
    // The most exchange output that waits for a slow client: a minute and a half at 115 200 bit/s.
    static constexpr std::size_t OUTPUT_CAPACITY = 1 << 20;
    // Line changes waiting for the worker; the window thread stops taking more while it is full.
    static constexpr std::size_t COMMAND_CAPACITY = 16;

    // The line drains `chunk` and writes the exchange's entries to `log`; all live until the worker has stopped.
    SerialLine(ClientChunk& chunk, TrafficLog& log);
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Window thread. Opening stops a line that runs; false when the port cannot be opened
    // (OpenError then says why). Any port 1 to 255, by its \\.\COMn name.
    bool Open(int portNumber);
    int PortNumber() const { return portNumber; }
    DWORD OpenError() const { return openError; }
    // Applies the lists' settings, the driver's queue sizes and the read time-outs; false
    // when the port refused the settings.
    bool Configure(const SerialParameters& parameters);
    // Starts the worker, also on a port that failed to open: the line then starts lost, and the
    // worker leaves it alone until Reopen. The worker posts WM_RESUME_RECEIVE, WM_LINE_RESULT and
    // WM_LINE_LOST to `target`.
    void Start(HWND target);
    // Stops the worker, dropping a transfer in progress and the queued changes, and closes the port.
    void Stop();
    bool Running() const { return worker.IsValid(); }

    // Window thread: the worker has let go of the port (it is gone, or never opened); the handle
    // is the window thread's until Reopen succeeds.
    bool Lost() const { return portLost; }
    // Window thread, while lost: closes the dead handle, so that the system can remove the device.
    void CloseLostPort();
    // Window thread, while lost: opens the port again with the settings the line had (the speed a
    // record set included; those of `parameters` when it never opened) and hands it back to the
    // worker, which goes on with the client's chunk where the port had left it. False while the
    // port cannot be opened.
    bool Reopen(const SerialParameters& parameters);
    // Window thread: the system says a port was removed; the worker checks whether it was ours.
    void CheckPort();
    // The line's speed in bits per second.
    std::uint32_t Rate() const { return lineRate; }

    // Window thread: the socket the exchange's bytes go to from now on (INVALID_SOCKET: none,
    // they are read, logged and dropped); a com-port client gets them with every 0xFF doubled.
    // When it returns the worker no longer touches the previous socket, so that it may be
    // closed; what its client had not taken is discarded.
    void SetClient(SOCKET socket, bool comPortClient = false);
    // Window thread: the client's socket takes bytes again (its FD_WRITE came).
    void ClientWritable() { writable.SetEvent(); }
    // Window thread: bytes of the com-port protocol for the current client. They go out through
    // the worker, in order with the exchange's bytes, so that nothing is ever sent in between.
    void SendToClient(const std::string& bytes);
    // Window thread: the current client asked to stop (or to resume) receiving the exchange's
    // bytes; meanwhile they wait, and the line is read no further once the output is full.
    void SuspendClientOutput(bool suspend);
    // Window thread, while the line runs: the modem lines (MS_CTS_ON, ...); false when unreadable.
    bool ModemStatus(DWORD& lines) const { return ::GetCommModemStatus(port.Get(), &lines) != FALSE; }

    // Window thread: a receive waits for the client's chunk to leave; WM_RESUME_RECEIVE says when.
    void WantResume() { resumeWanted = true; }

    // Window thread: queues a change; false (and nothing queued) while the queue is full.
    bool Queue(const LineCommand& command);
    bool QueueFull();
    // Window thread, on WM_LINE_RESULT: what came of the changes, in the order they were queued.
    std::vector<LineResult> TakeResults();

private:
    static UINT WorkerProc(void* self);
    void RunWorker();
    void PostRead();
    bool PostRestOfRead();
    void FinishRead(bool wait);
    void ReadFailed(DWORD error);
    void CancelRead();
    void Relay(std::size_t count);
    void SendWaiting();
    void StartWrite();
    void WriteRest();
    void FinishWrite(bool wait);
    void WriteFailed(DWORD error);
    void EndWrite();
    void CancelWrite();
    void StopWrite();
    bool PortGone(DWORD error) const;
    void LoseLine(DWORD error);
    bool ChangesDue();
    // Under commandLock: the queue takes no more; the first change is due.
    bool FullLocked() const;
    bool FrontDueLocked() const;
    void ApplyCommands();
    LineResult Apply(const LineCommand& command);
    std::uint32_t ApplyComPort(const Rfc2217Command& command, DCB& settings);
    std::uint32_t ApplyControl(std::uint8_t code, DCB& settings);
    void ApplySettings(const SerialParameters& parameters);
    bool ApplyToPort();

    // Set before the worker starts, then read-only until it has stopped.
    ClientChunk& chunk;
    TrafficLog& log;
    HWND target = nullptr;
    int portNumber = 0;

    // The port and the settings the line has: the window thread's while no worker runs and while
    // the port is lost, the worker's otherwise; portLost hands them over (see below).
    CHandle port;
    DCB lineSettings{};
    COMMTIMEOUTS timeouts{};

    // Window thread only.
    CHandle worker;        // the worker's thread, until it has ended
    DWORD openError = 0;   // why the last open failed
    bool configured = false;  // lineSettings came from a port: a reopen applies them as they are

    // Set by the worker once it no longer touches the port (after its last call on it), cleared
    // by the window thread once it has opened the port again; also set at Start when the port
    // never opened.
    std::atomic<bool> portLost{false};
    std::atomic<bool> checkPort{false};  // window thread to worker: a port was removed, is ours alive?

    // Written by the window thread, read by the worker.
    std::atomic<bool> runFlag{false};
    std::atomic<bool> resumeWanted{false};  // taken by the worker when the chunk leaves
    // bits per second, for how long a write may take: set by whichever thread has the port
    // (Configure and Reopen, or the worker's changes), read by both
    std::atomic<std::uint32_t> lineRate{0};
    CEvent command{false, false};            // a change was queued, the client changed, or the worker must stop
    CEvent writable{false, false};           // the client's socket takes bytes again

    // The data client: changed by the window thread and used by the worker's send, each only
    // while holding clientLock, so that no send ever reaches a socket that was closed since.
    std::mutex clientLock;
    SOCKET clientSocket = INVALID_SOCKET;
    std::string protocolOut;     // the com-port protocol's bytes, not yet in the output
    bool outputSuspended = false;  // the client asked for no more of the exchange's bytes for now
    // Change with the client; written under the lock, read by the worker without it too: the
    // generation first, then the rest, so that a stale reading is always caught by the generation.
    std::atomic<bool> escapeOutput{false};
    std::atomic<bool> protocolWaiting{false};
    std::atomic<std::uint32_t> clientGeneration{0};

    // Line changes in and their results out, each queue under commandLock.
    std::mutex commandLock;
    std::deque<LineCommand> commands;
    std::deque<LineResult> results;
    std::atomic<bool> commandsWaiting{false};

    // Worker only: the overlapped read that waits for the exchange, the write of the client's
    // chunk, and the exchange's output that waits for the client.
    OVERLAPPED readOverlapped{};
    CEvent readDone{false, true};
    enum class Read { IDLE, FIRST_BYTE, REST } reading = Read::IDLE;
    bool readBroken = false;  // the port refused a read: the next is tried after a pause
    bool cancelling = false;  // the transfer being finished was cancelled by the worker itself
    std::uint8_t readBuffer[4096] = {};
    OVERLAPPED writeOverlapped{};
    CEvent writeDone{false, true};
    bool writing = false;
    std::size_t writeOffset = 0;
    std::uint64_t chunksDone = 0;  // the client's chunks that have left, written or not
    bool chunkHeld = false;  // the port went while the chunk was written: the rest from writeOffset waits for it
    ULONGLONG giveUpWriteAt = 0;  // while a change waits for the chunk being written: when it stops waiting
    ByteRing output{OUTPUT_CAPACITY};
    std::string escaped;  // a com-port client's copy of a read, every 0xFF doubled
    bool dtrOn = true, rtsOn = false, breakOn = false;  // the modem lines as the line set them
    std::uint32_t outputGeneration = 0;  // the client the waiting output belongs to
    bool sendBlocked = false;            // the client's socket is full: wait for `writable`
};
