// The COM port towards the exchange: opening and settings, speed changes, and the worker that carries the bytes.
#include "SerialLine.h"

#include <algorithm>
#include <cstdio>

#include "../framework/AfxWait.h"
#include "../framework/CWinThread.h"
#include "BridgeMessages.h"
#include "SerialEncodings.h"

namespace {
constexpr DWORD QUEUE_SIZE = 15000;
// A read that failed for another reason than being cancelled (a port that never opened, an
// exchange that hung up) is tried again after this pause rather than at once.
constexpr DWORD READ_RETRY_MS = 100;
// What a chunk's write may take beyond its own time on the wire before a speed change gives up on it.
constexpr DWORD WRITE_MARGIN_MS = 1000;

// Waits for an overlapped transfer; the count it moved, 0 when it failed or was cancelled.
DWORD Transferred(HANDLE port, OVERLAPPED& overlapped, bool wait, DWORD* error = nullptr)
{
    DWORD count = 0;
    if (!::GetOverlappedResult(port, &overlapped, &count, wait ? TRUE : FALSE)) {
        if (error)
            *error = ::GetLastError();
    } else if (error) {
        *error = ERROR_SUCCESS;
    }
    return count;
}
}

SerialLine::SerialLine(ClientChunk& clientChunk) : chunk(clientChunk)
{
    readOverlapped.hEvent = readDone.Handle();
    writeOverlapped.hEvent = writeDone.Handle();
}

SerialLine::~SerialLine()
{
    // However the bridge ended, no worker may outlive the buffers it uses.
    Stop();
}

bool SerialLine::Open(int portNumber)
{
    // Only one line runs at a time: a second open replaces the first line and its worker.
    Stop();
    char name[16];
    std::snprintf(name, sizeof name, "COM%d", portNumber);
    port.Reset(::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED,
                             nullptr));
    return port.IsValid();
}

bool SerialLine::Configure(const SerialParameters& parameters)
{
    ApplySettings(parameters);
    const bool applied = ::SetCommState(port.Get(), &lineSettings) != FALSE;
    ::SetupComm(port.Get(), QUEUE_SIZE, QUEUE_SIZE);
    ::SetCommTimeouts(port.Get(), &timeouts);
    DCB actual{};
    actual.DCBlength = sizeof actual;
    lineRate = ::GetCommState(port.Get(), &actual) ? actual.BaudRate : lineSettings.BaudRate;
    return applied;
}

void SerialLine::ApplySettings(const SerialParameters& parameters)
{
    lineSettings.DCBlength = sizeof lineSettings;
    ::GetCommState(port.Get(), &lineSettings);
    ::GetCommTimeouts(port.Get(), &timeouts);
    if (const int baud = SerialEncodings::BaudAt(parameters.speedIndex); baud >= 0)
        lineSettings.BaudRate = static_cast<DWORD>(baud);
    // No read time-outs at all: a read waits until its buffer is full. The worker reads one
    // byte to wake on the exchange's first byte, then exactly what is queued behind it, which
    // is there already; Windows documents this and Wine's serial driver does the same on a
    // pseudo-terminal. The write time-outs stay the driver's.
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    lineSettings.ByteSize = 8;
    if (const int parity = SerialEncodings::ParityCodeAt(parameters.parityIndex); parity >= 0)
        lineSettings.Parity = static_cast<BYTE>(parity);
    if (const int stopBits = SerialEncodings::StopBitsCodeAt(parameters.stopBitsIndex); stopBits >= 0)
        lineSettings.StopBits = static_cast<BYTE>(stopBits);
    lineSettings.fBinary = 1;
    lineSettings.fParity = 0;
    lineSettings.fOutxCtsFlow = 0;
    lineSettings.fOutxDsrFlow = 0;
    lineSettings.fDtrControl = DTR_CONTROL_ENABLE;
    lineSettings.fRtsControl = RTS_CONTROL_DISABLE;
    ::EscapeCommFunction(port.Get(), CLRRTS);
    lineSettings.fDsrSensitivity = 0;
    lineSettings.fOutX = 0;
    lineSettings.fInX = 0;
    lineSettings.fAbortOnError = 0;
}

void SerialLine::Start(HWND window)
{
    target = window;
    runFlag = true;
    pauseRequest = false;
    pauseAcknowledged = false;
    // The thread starts suspended so that its handle is ours before it can run; we keep our own
    // copy of it, because the framework closes its copy when the thread ends.
    CWinThread* thread = AfxBeginThread(WorkerProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!thread) {
        runFlag = false;
        return;
    }
    HANDLE copy = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), thread->m_hThread, ::GetCurrentProcess(), &copy, SYNCHRONIZE, FALSE, 0);
    worker.Reset(copy);
    ::ResumeThread(thread->m_hThread);
}

UINT SerialLine::WorkerProc(void* self)
{
    static_cast<SerialLine*>(self)->RunWorker();
    return 0;
}

void SerialLine::RunWorker()
{
    bool readBroken = false;
    while (runFlag) {
        if (pauseRequest) {
            HoldForPause();
            continue;
        }
        if (!reading && !readBroken)
            readBroken = !PostRead();
        if (!writing && !chunk.IsFree())
            StartWrite();

        // Only the transfers in progress are waited for: a finished one's event stays set until
        // the next transfer starts, and resetting it would cost a call for every hand-over.
        HANDLE wakers[4] = {command.Handle(), chunk.OfferedEvent()};
        DWORD count = 2;
        const DWORD readSlot = reading ? count++ : MAXDWORD;
        if (reading)
            wakers[readSlot] = readDone.Handle();
        const DWORD writeSlot = writing ? count++ : MAXDWORD;
        if (writing)
            wakers[writeSlot] = writeDone.Handle();
        const DWORD woken = ::WaitForMultipleObjects(count, wakers, FALSE, readBroken ? READ_RETRY_MS : INFINITE);
        if (woken == WAIT_OBJECT_0 + readSlot)
            FinishRead(false);
        else if (woken == WAIT_OBJECT_0 + writeSlot)
            FinishWrite(false);
        else if (woken == WAIT_TIMEOUT)
            readBroken = false;
    }
    // Stopping: nothing more goes to or comes from the port.
    CancelRead();
    if (writing) {
        ::CancelIoEx(port.Get(), &writeOverlapped);
        FinishWrite(true);
    }
}

void SerialLine::HoldForPause()
{
    // The client's chunk finishes first, given its own time on the wire plus a margin: a speed
    // change must not cut the client's bytes in the middle.
    if (!writing && !chunk.IsFree())
        StartWrite();
    if (writing) {
        const std::uint32_t rate = std::max<std::uint32_t>(lineRate, 1);
        const DWORD bound = static_cast<DWORD>((chunk.Size() - writeOffset) * 10ull * 1000 / rate) + WRITE_MARGIN_MS;
        const HANDLE wakers[] = {writeDone.Handle(), command.Handle()};
        const DWORD start = ::GetTickCount();
        while (writing && runFlag) {
            const DWORD elapsed = ::GetTickCount() - start;
            if (elapsed >= bound) {
                ::CancelIoEx(port.Get(), &writeOverlapped);
                FinishWrite(true);
                break;
            }
            if (::WaitForMultipleObjects(2, wakers, FALSE, bound - elapsed) == WAIT_OBJECT_0)
                FinishWrite(false);
        }
    }
    // No ReadFile or WriteFile on the port from here until the request drops.
    CancelRead();
    pauseAcknowledged = true;
    acknowledged.SetEvent();
    while (pauseRequest && runFlag)
        command.Lock();
    pauseAcknowledged = false;
    acknowledged.SetEvent();
}

bool SerialLine::PostRead()
{
    // One byte: the read completes when the exchange's first byte comes, and not before.
    if (::ReadFile(port.Get(), exchangeBuffer, 1, nullptr, &readOverlapped) || ::GetLastError() == ERROR_IO_PENDING) {
        reading = true;
        return true;
    }
    return false;
}

void SerialLine::FinishRead(bool wait)
{
    reading = false;
    const DWORD first = Transferred(port.Get(), readOverlapped, wait);
    if (first == 0)
        return;  // cancelled or failed: the loop posts the next read
    // What came behind the first byte is queued already, so a read of exactly that much
    // completes at once; it takes what the buffer holds, the rest comes on the next round.
    std::size_t count = 1;
    DWORD errors = 0;
    COMSTAT status{};
    if (::ClearCommError(port.Get(), &errors, &status) && status.cbInQue > 0) {
        const DWORD more = std::min<DWORD>(status.cbInQue, sizeof exchangeBuffer - 1);
        if (::ReadFile(port.Get(), exchangeBuffer + 1, more, nullptr, &readOverlapped) ||
            ::GetLastError() == ERROR_IO_PENDING)
            count += Transferred(port.Get(), readOverlapped, true);
    }
    HandOver(count);
}

void SerialLine::CancelRead()
{
    if (!reading)
        return;
    ::CancelIoEx(port.Get(), &readOverlapped);
    // A byte that came before the cancel still goes to the client.
    FinishRead(true);
}

void SerialLine::HandOver(std::size_t count)
{
    exchangeCount = static_cast<std::uint32_t>(count);
    ::SendMessageA(target, WM_EXCHANGE_DATA, 0, 0);
}

void SerialLine::StartWrite()
{
    writing = true;
    writeOffset = 0;
    if (!PostWrite())
        EndWrite();  // the line takes nothing: the chunk is dropped
}

bool SerialLine::PostWrite()
{
    return ::WriteFile(port.Get(), chunk.Bytes() + writeOffset, static_cast<DWORD>(chunk.Size() - writeOffset),
                       nullptr, &writeOverlapped) ||
           ::GetLastError() == ERROR_IO_PENDING;
}

void SerialLine::FinishWrite(bool wait)
{
    DWORD error = ERROR_SUCCESS;
    writeOffset += Transferred(port.Get(), writeOverlapped, wait, &error);
    // The driver took part of it: the rest goes out at once.
    if (error == ERROR_SUCCESS && writeOffset > 0 && writeOffset < chunk.Size() && runFlag && PostWrite())
        return;
    EndWrite();
}

void SerialLine::EndWrite()
{
    // The whole chunk leaves, written or not, so that the client's next chunk can come.
    writing = false;
    chunk.Release();
    ::PostMessageA(target, WM_RESUME_RECEIVE, 0, 0);
}

void SerialLine::WaitForWorker(bool paused)
{
    // The worker may be inside SendMessage to this thread: serve it while waiting.
    ++waits;
    while (pauseAcknowledged != paused)
        AfxWaitServingSentMessages(acknowledged.Handle(), INFINITE);
    --waits;
}

void SerialLine::Stop()
{
    if (worker.IsValid()) {
        runFlag = false;
        command.SetEvent();
        // The thread itself, not a flag: once it has ended it can touch nothing of ours.
        ++waits;
        while (!AfxWaitServingSentMessages(worker.Get(), INFINITE)) {
        }
        --waits;
        worker.Close();
    }
    port.Close();
}

SerialLine::SpeedChange SerialLine::ChangeSpeed(std::uint32_t rate)
{
    const bool paused = Running();
    if (paused) {
        pauseRequest = true;
        command.SetEvent();
        WaitForWorker(true);
    }
    SpeedChange result = SpeedChange::UNCHANGED;
    lineSettings.DCBlength = sizeof lineSettings;
    if (!::GetCommState(port.Get(), &lineSettings)) {
        result = SpeedChange::STATE_UNREADABLE;
    } else if (lineSettings.BaudRate != rate) {
        lineSettings.BaudRate = rate;
        result = ::SetCommState(port.Get(), &lineSettings) ? SpeedChange::SET : SpeedChange::REFUSED;
        if (result == SpeedChange::SET)
            lineRate = rate;
    }
    DWORD errors = 0;
    ::ClearCommError(port.Get(), &errors, nullptr);
    ::PurgeComm(port.Get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    if (paused) {
        pauseRequest = false;
        command.SetEvent();
        WaitForWorker(false);
    }
    return result;
}
