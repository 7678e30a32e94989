// The COM port towards the exchange: opening and settings, speed changes, and the worker that carries the bytes.
#include "SerialLine.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "../framework/AfxWait.h"
#include "../framework/CTimerResolution.h"
#include "BridgeMessages.h"
#include "SerialEncodings.h"

namespace {
constexpr DWORD QUEUE_SIZE = 15000;
constexpr DWORD READ_BLOCK = 100;
constexpr DWORD PASS_MS = 5;
}

SerialLine::SerialLine(ClientChunk& clientChunk) : chunk(clientChunk) {}

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
    port.Reset(::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    return port.IsValid();
}

bool SerialLine::Configure(const SerialParameters& parameters)
{
    ApplySettings(parameters);
    const bool applied = ::SetCommState(port.Get(), &lineSettings) != FALSE;
    ::SetupComm(port.Get(), QUEUE_SIZE, QUEUE_SIZE);
    ::SetCommTimeouts(port.Get(), &timeouts);
    return applied;
}

void SerialLine::ApplySettings(const SerialParameters& parameters)
{
    lineSettings.DCBlength = sizeof lineSettings;
    ::GetCommState(port.Get(), &lineSettings);
    ::GetCommTimeouts(port.Get(), &timeouts);
    if (const int baud = SerialEncodings::BaudAt(parameters.speedIndex); baud >= 0) {
        lineSettings.BaudRate = static_cast<DWORD>(baud);
        // Reads return at once with whatever has arrived.
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
    }
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
    // The worker starts suspended so that it is published before it runs; and it is told
    // to run before it can look, so that a quick Stop cannot be overtaken by its start.
    target = window;
    runFlag = true;
    aliveFlag = true;
    worker = AfxBeginThread(WorkerProc, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!worker) {
        runFlag = false;
        aliveFlag = false;
        return;
    }
    ::ResumeThread(worker->m_hThread);
}

UINT SerialLine::WorkerProc(void* self)
{
    static_cast<SerialLine*>(self)->RunWorker();
    return 0;
}

void SerialLine::RunWorker()
{
    // Sleep(5) must last about 5 ms, not a whole 15.6 ms scheduler tick.
    CTimerResolution resolution(1);
    bool backlog = false;  // the last read filled its whole block: read again without pausing
    while (runFlag) {
        if (pauseRequest) {
            // Paused: no ReadFile or WriteFile until the request drops.
            pauseAcknowledged = true;
            workerSignal.SetEvent();
            while (pauseRequest && runFlag)
                resumeSignal.Lock(100);
            pauseAcknowledged = false;
            workerSignal.SetEvent();
            continue;
        }

        // The client's chunk goes out between reads, also while the exchange keeps talking.
        if (!chunk.IsFree())
            WriteChunk();

        if (!backlog)
            ::Sleep(PASS_MS);
        std::uint8_t block[READ_BLOCK];
        DWORD read = 0;
        // Asking the driver's input queue first is much cheaper than a read that finds
        // nothing, which keeps an idle line from costing CPU; a failed query reads anyway.
        DWORD errors = 0;
        COMSTAT status{};
        const bool queueKnown = ::ClearCommError(port.Get(), &errors, &status) != FALSE;
        if ((!queueKnown || status.cbInQue > 0) && !::ReadFile(port.Get(), block, READ_BLOCK, &read, nullptr))
            read = 0;
        backlog = read == READ_BLOCK;
        if (read > 0) {
            std::uint32_t count = exchangeCount;
            if (count + read > sizeof exchangeBuffer)
                count = 0;  // the window never took the last chunk (it is gone); start afresh
            std::memcpy(exchangeBuffer + count, block, read);
            exchangeCount = count + read;
            ::SendMessageA(target, WM_EXCHANGE_DATA, 0, 0);
        }
    }
    aliveFlag = false;
    workerSignal.SetEvent();
}

void SerialLine::WriteChunk()
{
    const std::size_t count = chunk.Size();
    std::size_t written = 0;
    while (written < count) {
        DWORD done = 0;
        if (!::WriteFile(port.Get(), chunk.Bytes() + written, static_cast<DWORD>(count - written), &done, nullptr) ||
            done == 0)
            break;  // a line that takes nothing drops the rest of this chunk
        written += done;
    }
    // The whole chunk leaves, written or not, so that the client's next chunk can come.
    chunk.Release();
    ::PostMessageA(target, WM_RESUME_RECEIVE, 0, 0);
}

void SerialLine::WaitForWorker(const std::atomic<bool>& flag, bool value)
{
    // The worker may be inside SendMessage to this thread: serve it while waiting.
    ++waits;
    DWORD waited = 0;
    while (flag != value) {
        if (!AfxWaitServingSentMessages(workerSignal.Handle(), 1000)) {
            waited += 1000;
            // A write the line never accepts would hold the worker for good: abort it.
            if (waited >= 2000)
                ::PurgeComm(port.Get(), PURGE_TXABORT | PURGE_TXCLEAR);
        }
    }
    --waits;
}

void SerialLine::Stop()
{
    if (worker) {
        runFlag = false;
        resumeSignal.SetEvent();
        WaitForWorker(aliveFlag, false);
        worker = nullptr;
    }
    port.Close();
}

void SerialLine::Pause()
{
    pauseRequest = true;
    WaitForWorker(pauseAcknowledged, true);
}

void SerialLine::Resume()
{
    pauseRequest = false;
    resumeSignal.SetEvent();
    WaitForWorker(pauseAcknowledged, false);
}

SerialLine::SpeedChange SerialLine::ChangeSpeed(std::uint32_t rate)
{
    const bool paused = Running();
    if (paused)
        Pause();
    SpeedChange result = SpeedChange::UNCHANGED;
    lineSettings.DCBlength = sizeof lineSettings;
    if (!::GetCommState(port.Get(), &lineSettings)) {
        result = SpeedChange::STATE_UNREADABLE;
    } else if (lineSettings.BaudRate != rate) {
        lineSettings.BaudRate = rate;
        result = ::SetCommState(port.Get(), &lineSettings) ? SpeedChange::SET : SpeedChange::REFUSED;
    }
    DWORD errors = 0;
    ::ClearCommError(port.Get(), &errors, nullptr);
    ::PurgeComm(port.Get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
    if (paused)
        Resume();
    return result;
}
