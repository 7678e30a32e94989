// The serial line towards the exchange: the worker that carries the bytes, and the face the engine uses.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "../../framework/Afx.h"
#include "../../framework/CEvent.h"
#include "../../framework/CHandle.h"
#include "../core/BridgeOptions.h"
#include "../core/ClientOutput.h"
#include "../core/LineCommand.h"
#include "../core/LineCommandQueue.h"
#include "ChunkWriter.h"
#include "ClientChunk.h"
#include "SerialPort.h"
#include "SerialReader.h"
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
//
// With no flow control in force the line is read whatever the data client does, so that the
// exchange is never held up and the traffic log has every byte; a client a whole output behind
// is let go (WM_CLIENT_BEHIND). With flow control in force, a full output stops the reading.
class SerialLine {
public:
    // The most exchange output that waits for a slow client: a minute and a half at 115 200 bit/s.
    // With no flow control a client that falls further behind is let go.
    static constexpr std::size_t OUTPUT_CAPACITY = 1 << 20;
    // Line changes waiting for the worker; the window thread stops taking more while it is full.
    static constexpr std::size_t COMMAND_CAPACITY = LineCommandQueue::CAPACITY;

    // The line drains `chunk` and writes the exchange's entries to `log`; all live until the worker has stopped.
    SerialLine(ClientChunk& chunk, TrafficLog& log);
    ~SerialLine();
    SerialLine(const SerialLine&) = delete;
    SerialLine& operator=(const SerialLine&) = delete;

    // Window thread. Opening stops a line that runs; false when the port cannot be opened
    // (OpenError then says why). Any port 1 to 255, by its \\.\COMn name.
    bool Open(int portNumber);
    int PortNumber() const { return port.Number(); }
    DWORD OpenError() const { return port.OpenError(); }
    // Applies the panel's settings, the driver's queue sizes and the read time-outs; false
    // when the port refused the settings.
    bool Configure(const SerialParameters& parameters) { return port.Configure(parameters); }
    // Starts the worker, also on a port that failed to open: the line then starts lost, and the
    // worker leaves it alone until Reopen. The worker posts WM_RESUME_RECEIVE, WM_LINE_RESULT,
    // WM_LINE_LOST and WM_CLIENT_BEHIND to `target`.
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
    std::uint32_t Rate() const { return port.Rate(); }

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
    // bytes; meanwhile they wait, as they do for a client that reads slowly.
    void SuspendClientOutput(bool suspend);
    // Window thread, on WM_CLIENT_BEHIND: the current client fell a whole output behind and was
    // let go: it is sent nothing more, and its connection is the window thread's to close. False
    // for a notice about a client since replaced.
    bool ClientLetGo() const { return output.LetGo(); }
    // Window thread: the line's state for a line-state notification (Rfc2217Session's LINE_ bits).
    std::uint8_t LineState() { return port.LineState(); }
    // Window thread: a com-port client is read no further while more of its answers than this
    // wait to join the output; WantAnswersSent asks for WM_RESUME_RECEIVE once they are fewer.
    static constexpr std::size_t ANSWERS_BACKLOG = 4096;
    bool AnswersBacklogged() const { return output.ProtocolWaiting() > ANSWERS_BACKLOG; }
    void WantAnswersSent() { answersWanted = true; }
    // Window thread, while the line runs: the modem lines (MS_CTS_ON, ...); false when unreadable.
    bool ModemStatus(DWORD& lines) const { return port.ModemStatus(lines); }

    // Window thread: a receive waits for the client's chunk to leave; WM_RESUME_RECEIVE says when.
    void WantResume() { resumeWanted = true; }

    // Window thread: queues a change; false (and nothing queued) while the queue is full.
    bool Queue(const LineCommand& command);
    bool QueueFull() { return commands.Full(); }
    // Window thread, on WM_LINE_RESULT: what came of the changes, in the order they were queued.
    std::vector<LineResult> TakeResults() { return commands.TakeResults(); }

private:
    static UINT WorkerProc(void* self);
    void RunWorker();
    void Relay(const std::uint8_t* bytes, std::size_t count);
    void ChunkLeft();
    bool PortGone(DWORD error);
    void LoseLine(DWORD error);
    bool ChangesDue();
    void ApplyCommands();

    // Set before the worker starts, then read-only until it has stopped.
    ClientChunk& chunk;
    TrafficLog& log;
    HWND target = nullptr;

    // The port and the settings the line has: the window thread's while no worker runs and while
    // the port is lost, the worker's otherwise; portLost hands them over (see below).
    SerialPort port;

    // Window thread only.
    CHandle worker;  // the worker's thread, until it has ended

    // Set by the worker once it no longer touches the port (after its last call on it), cleared
    // by the window thread once it has opened the port again; also set at Start when the port
    // never opened.
    std::atomic<bool> portLost{false};
    std::atomic<bool> checkPort{false};  // window thread to worker: a port was removed, is ours alive?

    // Written by the window thread, read by the worker.
    std::atomic<bool> runFlag{false};
    std::atomic<bool> resumeWanted{false};  // taken by the worker when the chunk leaves
    std::atomic<bool> answersWanted{false};  // taken by the worker when the answers are few again
    CEvent command{false, false};            // a change was queued, the client changed, or the worker must stop
    CEvent writable{false, false};           // the client's socket takes bytes again

    // The data client's output: the window thread changes the client, the worker sends (see there).
    ClientOutput output;

    // Line changes in and their results out, each queue under its lock.
    LineCommandQueue commands;

    // Worker only: the overlapped read that waits for the exchange and the write of the client's chunk.
    SerialReader reader;
    ChunkWriter writer;
};
