// The serial worker's overlapped read of what the exchange sends: one byte to wake on, then what is queued behind it.
#include "SerialReader.h"

#include <algorithm>
#include <utility>

namespace {
// A read that a port still answering refused, or that ended with nothing, is tried again after
// this pause rather than at once (a port that is gone is not read until it is back).
constexpr DWORD READ_RETRY_MS = 100;
// The read of what the driver said was queued behind the first byte completes at once; a driver
// that promised more than it delivers has this long before the read is cut short.
constexpr DWORD REST_OF_READ_MS = 50;
}

SerialReader::SerialReader(SerialPort& serialPort, Deliver onBytes, Gone isGone, Lose onLoss)
    : port(serialPort), deliver(std::move(onBytes)), gone(std::move(isGone)), lose(std::move(onLoss))
{
    readOverlapped.hEvent = readDone.Handle();
}

void SerialReader::Reset()
{
    reading = Read::IDLE;
    readBroken = false;
    cancelling = false;
}

void SerialReader::Post()
{
    // One byte: the read completes when the exchange's first byte comes, and not before.
    if (::ReadFile(port.Handle(), readBuffer, 1, nullptr, &readOverlapped)) {
        reading = Read::FIRST_BYTE;
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING)
        reading = Read::FIRST_BYTE;
    else
        Failed(error);
}

void SerialReader::Failed(DWORD error)
{
    // A port that is gone is let go; one that still answers is read again after a pause.
    // A read that ended with nothing tells no error of its own: the port's answer names it.
    if (gone(error)) {
        lose(error != ERROR_SUCCESS ? error : ::GetLastError());
    } else {
        readBroken = true;
        dueAt = ::GetTickCount64() + READ_RETRY_MS;
    }
}

void SerialReader::Deadline(DWORD& timeout) const
{
    if (!readBroken && reading != Read::REST)
        return;
    const ULONGLONG now = ::GetTickCount64();
    timeout = std::min<DWORD>(timeout, dueAt > now ? static_cast<DWORD>(dueAt - now) : 0);
}

void SerialReader::OnTime()
{
    if ((!readBroken && reading != Read::REST) || ::GetTickCount64() < dueAt)
        return;
    readBroken = false;
    if (reading == Read::REST)
        Cancel();
}

bool SerialReader::PostRest()
{
    // What came behind the first byte is queued already, so a read of exactly that much completes
    // at once; it takes what the buffer holds, the rest comes on the next round.
    DWORD queued = 0;
    if (!port.Queued(queued) || queued == 0)
        return false;
    const DWORD more = std::min<DWORD>(queued, sizeof readBuffer - 1);
    if (::ReadFile(port.Handle(), readBuffer + 1, more, nullptr, &readOverlapped)) {
        DWORD error = ERROR_SUCCESS;
        deliver(readBuffer, 1 + port.Transferred(readOverlapped, false, error));
        return true;
    }
    if (::GetLastError() != ERROR_IO_PENDING)
        return false;
    reading = Read::REST;
    dueAt = ::GetTickCount64() + REST_OF_READ_MS;
    return true;
}

void SerialReader::Finish(bool wait)
{
    const Read finished = reading;
    reading = Read::IDLE;
    DWORD error = ERROR_SUCCESS;
    const DWORD got = port.Transferred(readOverlapped, wait, error);
    if (finished == Read::REST) {
        deliver(readBuffer, 1 + got);
        return;
    }
    if (got == 0) {
        // Cancelled by the worker, the loop reads again at once; failed (or ended empty), it is
        // read again after a pause or, when the port is gone, once it is back.
        if (!cancelling)
            Failed(error);
        return;
    }
    if (!PostRest())
        deliver(readBuffer, 1);
}

void SerialReader::Cancel()
{
    // A first byte that came before the cancel starts the read of what is queued behind it,
    // which is cancelled in its turn; every byte read still goes to the client.
    cancelling = true;
    while (reading != Read::IDLE) {
        ::CancelIoEx(port.Handle(), &readOverlapped);
        Finish(true);
    }
    cancelling = false;
}
