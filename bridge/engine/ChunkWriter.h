// The serial worker's overlapped write of the data client's chunk: its rest after a partial write, its hold over a loss, its deadline.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "../../framework/Afx.h"
#include "../../framework/CEvent.h"
#include "ClientChunk.h"
#include "SerialPort.h"

// Worker only. A write the port refuses asks `gone` whether the port is gone: then the rest of
// the chunk is held for it and `lose` lets go of the port; otherwise the chunk is dropped.
// Every chunk leaves in the end, written or not: then `left` is told.
class ChunkWriter {
public:
    using Gone = std::function<bool(DWORD error)>;
    using Lose = std::function<void(DWORD error)>;
    using Left = std::function<void()>;

    ChunkWriter(SerialPort& port, ClientChunk& chunk, Gone gone, Lose lose, Left left);
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;

    // A fresh start: nothing written or held; what was offered before has been written or dropped.
    void Reset();
    bool Writing() const { return writing; }
    // The port went while the chunk was written: the rest waits for it to come back.
    bool Held() const { return chunkHeld; }
    // The client's chunks that have left, written or not.
    std::uint64_t ChunksDone() const { return chunksDone; }
    // Set when the write in progress has finished.
    HANDLE DoneEvent() const { return writeDone.Handle(); }

    // Writes the chunk offered, or the rest of a held one.
    void Start();
    // The write has finished; `running` false: the line stops, and the chunk leaves as it is.
    void Finish(bool wait, bool running);
    // Ends the write in progress; the chunk leaves.
    void Cancel();
    // The port is being let go: a write in progress stops, and what the port had not taken waits.
    void HoldForLoss();

    // While a change waits for the chunk being written, it waits no longer than the chunk's time
    // on the wire at `rate` and a margin: shortens `timeout` to that. No change waiting: no deadline.
    void Deadline(bool changesWaiting, std::uint32_t rate, DWORD& timeout);
    // On a time-out: a write past its deadline is cancelled.
    void GiveUpIfDue();

private:
    void WriteRest();
    void Failed(DWORD error);
    void End();
    void Stop();

    SerialPort& port;
    ClientChunk& chunk;
    Gone gone;
    Lose lose;
    Left left;

    // Worker only.
    OVERLAPPED writeOverlapped{};
    CEvent writeDone{false, true};
    bool writing = false;
    bool cancelling = false;  // the write being finished was cancelled by the worker itself
    std::size_t writeOffset = 0;
    std::uint64_t chunksDone = 0;  // the client's chunks that have left, written or not
    bool chunkHeld = false;  // the port went while the chunk was written: the rest from writeOffset waits for it
    ULONGLONG giveUpWriteAt = 0;  // while a change waits for the chunk being written: when it stops waiting
};
