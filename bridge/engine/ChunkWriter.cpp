// The serial worker's overlapped write of the data client's chunk: its rest after a partial write, its hold over a loss, its deadline.
#include "ChunkWriter.h"

#include <algorithm>
#include <utility>

namespace {
// What a chunk's write may take beyond its own time on the wire before a queued change gives up on it.
constexpr DWORD WRITE_MARGIN_MS = 1000;
}

ChunkWriter::ChunkWriter(SerialPort& serialPort, ClientChunk& clientChunk, Gone isGone, Lose onLoss, Left onLeft)
    : port(serialPort), chunk(clientChunk), gone(std::move(isGone)), lose(std::move(onLoss)), left(std::move(onLeft))
{
    writeOverlapped.hEvent = writeDone.Handle();
}

void ChunkWriter::Reset()
{
    writing = false;
    cancelling = false;
    chunkHeld = false;
    chunksDone = chunk.Offers();  // what was offered before has been written or dropped
}

void ChunkWriter::Start()
{
    // A chunk the loss of the port cut short goes on where the port left it.
    if (!chunkHeld)
        writeOffset = 0;
    chunkHeld = false;
    giveUpWriteAt = 0;  // a change that waits gives this chunk its own time on the wire
    WriteRest();
}

void ChunkWriter::WriteRest()
{
    writing = true;
    if (::WriteFile(port.Handle(), chunk.Bytes() + writeOffset, static_cast<DWORD>(chunk.Size() - writeOffset), nullptr,
                    &writeOverlapped))
        return;
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING)
        Failed(error);
}

void ChunkWriter::Finish(bool wait, bool running)
{
    DWORD error = ERROR_SUCCESS;
    writeOffset += port.Transferred(writeOverlapped, wait, error);
    writing = false;
    if (writeOffset >= chunk.Size() || cancelling || !running) {
        End();
    } else if (error == ERROR_SUCCESS) {
        // The driver took part of it: the rest goes out at once. A driver that takes nothing at
        // all drops the chunk, or the client's next one could never come.
        if (writeOffset > 0)
            WriteRest();
        else
            End();
    } else {
        Failed(error);
    }
}

void ChunkWriter::Failed(DWORD error)
{
    writing = false;
    if (gone(error)) {
        // The rest of the chunk waits for the port to come back, and the client's next bytes in TCP.
        chunkHeld = true;
        lose(error);
    } else {
        End();  // the line refuses it: the chunk is dropped
    }
}

void ChunkWriter::End()
{
    // The whole chunk leaves, written or not, so that the client's next chunk can come.
    writing = false;
    ++chunksDone;
    chunk.Release();
    left();
}

void ChunkWriter::Cancel()
{
    if (!writing)
        return;
    Stop();
    End();
}

void ChunkWriter::Stop()
{
    // What the port took before the cancel counts; the rest of the chunk is the caller's to decide.
    cancelling = true;
    ::CancelIoEx(port.Handle(), &writeOverlapped);
    DWORD ignored = ERROR_SUCCESS;
    writeOffset += port.Transferred(writeOverlapped, true, ignored);
    cancelling = false;
    writing = false;
}

void ChunkWriter::HoldForLoss()
{
    if (writing) {
        Stop();
        chunkHeld = true;
    }
    if (chunkHeld && writeOffset >= chunk.Size()) {
        chunkHeld = false;
        End();
    }
}

void ChunkWriter::Deadline(bool changesWaiting, std::uint32_t rate, DWORD& timeout)
{
    if (!changesWaiting || !writing)
        giveUpWriteAt = 0;
    if (giveUpWriteAt == 0 && changesWaiting && writing) {
        const std::uint32_t bitsPerSecond = std::max<std::uint32_t>(rate, 1);
        giveUpWriteAt = ::GetTickCount64() + (chunk.Size() - writeOffset) * 10ull * 1000 / bitsPerSecond + WRITE_MARGIN_MS;
    }
    if (giveUpWriteAt != 0) {
        const ULONGLONG now = ::GetTickCount64();
        timeout = std::min<DWORD>(timeout, giveUpWriteAt > now ? static_cast<DWORD>(giveUpWriteAt - now) : 0);
    }
}

void ChunkWriter::GiveUpIfDue()
{
    if (giveUpWriteAt != 0 && ::GetTickCount64() >= giveUpWriteAt)
        Cancel();
}
