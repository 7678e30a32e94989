// The COM port towards the exchange: opening and settings, queued line changes, and the worker that carries the bytes.
#include "SerialLine.h"

#include <algorithm>
#include <cstring>

#include "../../framework/CWinThread.h"
#include "BridgeMessages.h"
#include "../core/ComPortList.h"
#include "../core/Rfc2217Session.h"
#include "../core/SerialEncodings.h"

namespace {
constexpr DWORD QUEUE_SIZE = 15000;
// A read that a port still answering refused, or that ended with nothing, is tried again after
// this pause rather than at once (a port that is gone is not read until it is back).
constexpr DWORD READ_RETRY_MS = 100;
// The read of what the driver said was queued behind the first byte completes at once; a driver
// that promised more than it delivers has this long before the read is cut short.
constexpr DWORD REST_OF_READ_MS = 50;
// What a chunk's write may take beyond its own time on the wire before a queued change gives up on it.
constexpr DWORD WRITE_MARGIN_MS = 1000;

// The outcome of an overlapped transfer: the count it moved and the error it ended with.
DWORD Transferred(HANDLE port, OVERLAPPED& overlapped, bool wait, DWORD& error)
{
    DWORD count = 0;
    error = ::GetOverlappedResult(port, &overlapped, &count, wait ? TRUE : FALSE) ? ERROR_SUCCESS : ::GetLastError();
    return count;
}
}

SerialLine::SerialLine(ClientChunk& clientChunk, TrafficLog& trafficLog) : chunk(clientChunk), log(trafficLog)
{
    readOverlapped.hEvent = readDone.Handle();
    writeOverlapped.hEvent = writeDone.Handle();
}

SerialLine::~SerialLine()
{
    // However the bridge ended, no worker may outlive the buffers it uses.
    Stop();
}

namespace {
HANDLE OpenPort(int number)
{
    // The \\.\ form is the only one that reaches COM10 and above, and it works for every port.
    return ::CreateFileA(ComPortList::DevicePath(number).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
}
}

bool SerialLine::Open(int number)
{
    // Only one line runs at a time: a second open replaces the first line and its worker.
    Stop();
    portNumber = number;
    configured = false;
    port.Reset(OpenPort(number));
    openError = port.IsValid() ? ERROR_SUCCESS : ::GetLastError();
    return port.IsValid();
}

bool SerialLine::Configure(const SerialParameters& parameters)
{
    ApplySettings(parameters);
    return ApplyToPort();
}

bool SerialLine::ApplyToPort()
{
    const bool applied = ::SetCommState(port.Get(), &lineSettings) != FALSE;
    ::SetupComm(port.Get(), QUEUE_SIZE, QUEUE_SIZE);
    ::SetCommTimeouts(port.Get(), &timeouts);
    DCB actual{};
    actual.DCBlength = sizeof actual;
    lineRate = ::GetCommState(port.Get(), &actual) ? actual.BaudRate : lineSettings.BaudRate;
    return applied;
}

void SerialLine::CloseLostPort()
{
    if (portLost)
        port.Close();
}

bool SerialLine::Reopen(const SerialParameters& parameters)
{
    if (!portLost || !worker.IsValid())
        return false;
    port.Reset(OpenPort(portNumber));
    if (!port.IsValid()) {
        openError = ::GetLastError();
        return false;
    }
    // The settings the line had, the current speed included; a port that never opened gets the
    // panel's, as it would have at Listen. As at Listen, settings the port refuses leave it with
    // the driver's: the line is back all the same.
    if (configured)
        ::EscapeCommFunction(port.Get(), CLRRTS);
    else
        ApplySettings(parameters);
    ApplyToPort();
    // The worker's again from here; it may have waited for this since the loss.
    portLost = false;
    command.SetEvent();
    return true;
}

void SerialLine::CheckPort()
{
    checkPort = true;
    command.SetEvent();
}

void SerialLine::ApplySettings(const SerialParameters& parameters)
{
    lineSettings.DCBlength = sizeof lineSettings;
    configured = ::GetCommState(port.Get(), &lineSettings) != FALSE;
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
    reading = Read::IDLE;
    readBroken = false;
    cancelling = false;
    writing = false;
    chunkHeld = false;
    checkPort = false;
    // A port that never opened is lost from the start: the worker waits for it to be opened.
    portLost = !port.IsValid();
    output.Clear();
    outputGeneration = clientGeneration;
    sendBlocked = false;
    chunksDone = chunk.Offers();  // what was offered before has been written or dropped
    dtrOn = true;  // as Configure set them
    rtsOn = false;
    breakOn = false;
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

void SerialLine::Stop()
{
    if (worker.IsValid()) {
        runFlag = false;
        command.SetEvent();
        // The thread itself, not a flag: once it has ended it can touch nothing of ours. It
        // never waits for this thread, and it cancels its transfers as soon as it sees the flag.
        ::WaitForSingleObject(worker.Get(), INFINITE);
        worker.Close();
    }
    {
        std::lock_guard guard(commandLock);
        commands.clear();
        results.clear();
        commandsWaiting = false;
    }
    port.Close();
}

void SerialLine::SetClient(SOCKET socket, bool comPortClient)
{
    {
        std::lock_guard guard(clientLock);
        clientSocket = socket;
        protocolOut.clear();
        protocolWaiting = false;
        outputSuspended = false;
        escapeOutput = comPortClient;
        ++clientGeneration;
    }
    // A worker that waits for the previous client's socket to take more waits no longer.
    command.SetEvent();
}

void SerialLine::SendToClient(const std::string& bytes)
{
    {
        std::lock_guard guard(clientLock);
        protocolOut += bytes;
        protocolWaiting = true;
    }
    command.SetEvent();
}

void SerialLine::SuspendClientOutput(bool suspend)
{
    {
        std::lock_guard guard(clientLock);
        outputSuspended = suspend;
    }
    command.SetEvent();
}

bool SerialLine::Queue(const LineCommand& change)
{
    {
        std::lock_guard guard(commandLock);
        if (FullLocked())
            return false;
        commands.push_back(change);
        commands.back().afterChunks = chunk.Offers();
        commandsWaiting = true;
    }
    command.SetEvent();
    return true;
}

bool SerialLine::QueueFull()
{
    std::lock_guard guard(commandLock);
    return FullLocked();
}

bool SerialLine::FullLocked() const
{
    // Results not yet taken count too, so that a flood of changes holds its sender back.
    return commands.size() + results.size() >= COMMAND_CAPACITY;
}

std::vector<LineResult> SerialLine::TakeResults()
{
    std::lock_guard guard(commandLock);
    std::vector<LineResult> taken(results.begin(), results.end());
    results.clear();
    return taken;
}

UINT SerialLine::WorkerProc(void* self)
{
    static_cast<SerialLine*>(self)->RunWorker();
    return 0;
}

void SerialLine::RunWorker()
{
    while (runFlag) {
        // A removal the system told of: the port is looked at once, and let go if it is dead.
        if (checkPort.exchange(false) && !portLost && PortGone(ERROR_SUCCESS)) {
            LoseLine(::GetLastError());
            continue;
        }
        // While the port is lost nothing touches it: changes wait for it as the client's bytes do.
        // A change is due once the client's chunks offered before it have gone to the line, so
        // that a change and the client's bytes reach the line in the order they came.
        const bool changes = commandsWaiting && !portLost;
        const bool due = changes && ChangesDue();
        // A chunk cut short by the loss is finished first, as it would have been without it.
        if (due && !writing && !chunkHeld) {
            ApplyCommands();
            continue;
        }
        // A full output stops the reading: the driver's queue, then the exchange's flow control,
        // hold the rest. There is room for a whole read even when every byte of it is doubled.
        if (!portLost && reading == Read::IDLE && !readBroken && !due && output.Room() >= 2 * sizeof readBuffer)
            PostRead();
        if (!portLost && !writing && (chunkHeld || !due) && !chunk.IsFree())
            StartWrite();

        // Only the transfers in progress are waited for: a finished one's event stays set until
        // the next transfer starts, and resetting it would cost a call for every burst.
        HANDLE wakers[5] = {command.Handle(), chunk.OfferedEvent()};
        DWORD count = 2;
        const DWORD readSlot = reading != Read::IDLE ? count++ : MAXDWORD;
        if (readSlot != MAXDWORD)
            wakers[readSlot] = readDone.Handle();
        const DWORD writeSlot = writing ? count++ : MAXDWORD;
        if (writeSlot != MAXDWORD)
            wakers[writeSlot] = writeDone.Handle();
        const DWORD writableSlot = sendBlocked ? count++ : MAXDWORD;
        if (writableSlot != MAXDWORD)
            wakers[writableSlot] = writable.Handle();

        DWORD timeout = INFINITE;
        if (readBroken)
            timeout = READ_RETRY_MS;
        if (reading == Read::REST)
            timeout = REST_OF_READ_MS;
        if (!changes || !writing)
            giveUpWriteAt = 0;
        if (giveUpWriteAt == 0 && changes && writing) {
            const std::uint32_t rate = std::max<std::uint32_t>(lineRate, 1);
            giveUpWriteAt = ::GetTickCount64() + (chunk.Size() - writeOffset) * 10ull * 1000 / rate + WRITE_MARGIN_MS;
        }
        if (giveUpWriteAt != 0) {
            const ULONGLONG now = ::GetTickCount64();
            timeout = std::min<DWORD>(timeout, giveUpWriteAt > now ? static_cast<DWORD>(giveUpWriteAt - now) : 0);
        }

        if (portLost)
            timeout = INFINITE;  // no polling of a port that is gone: the window thread reopens it
        const DWORD woken = ::WaitForMultipleObjects(count, wakers, FALSE, timeout);
        if (woken == WAIT_FAILED) {
            ::Sleep(READ_RETRY_MS);  // cannot happen with handles we own; never spin if it does
        } else if (woken == WAIT_OBJECT_0 + readSlot) {
            FinishRead(false);
        } else if (woken == WAIT_OBJECT_0 + writeSlot) {
            FinishWrite(false);
        } else if (woken == WAIT_OBJECT_0 + writableSlot) {
            SendWaiting();
        } else if (woken == WAIT_OBJECT_0) {
            // The client may have changed (the old one's output goes), may be sent more, may have
            // resumed the output it had suspended, or the com-port protocol has something to say.
            if (sendBlocked || protocolWaiting || clientGeneration != outputGeneration || !output.Empty())
                SendWaiting();
        } else if (woken == WAIT_TIMEOUT) {
            readBroken = false;
            if (reading == Read::REST)
                CancelRead();  // the driver promised more than it had: what came goes on now
            if (giveUpWriteAt != 0 && ::GetTickCount64() >= giveUpWriteAt)
                CancelWrite();
        }
    }
    // Stopping: nothing more goes to or comes from the port.
    CancelRead();
    CancelWrite();
}

void SerialLine::PostRead()
{
    // One byte: the read completes when the exchange's first byte comes, and not before.
    if (::ReadFile(port.Get(), readBuffer, 1, nullptr, &readOverlapped)) {
        reading = Read::FIRST_BYTE;
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_IO_PENDING)
        reading = Read::FIRST_BYTE;
    else
        ReadFailed(error);
}

void SerialLine::ReadFailed(DWORD error)
{
    // A port that is gone is let go; one that still answers is read again after a pause.
    // A read that ended with nothing tells no error of its own: the port's answer names it.
    if (PortGone(error))
        LoseLine(error != ERROR_SUCCESS ? error : ::GetLastError());
    else
        readBroken = true;
}

bool SerialLine::PostRestOfRead()
{
    // What came behind the first byte is queued already, so a read of exactly that much completes
    // at once; it takes what the buffer holds, the rest comes on the next round.
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(port.Get(), &errors, &status) || status.cbInQue == 0)
        return false;
    const DWORD more = std::min<DWORD>(status.cbInQue, sizeof readBuffer - 1);
    if (::ReadFile(port.Get(), readBuffer + 1, more, nullptr, &readOverlapped)) {
        DWORD error = ERROR_SUCCESS;
        Relay(1 + Transferred(port.Get(), readOverlapped, false, error));
        return true;
    }
    if (::GetLastError() != ERROR_IO_PENDING)
        return false;
    reading = Read::REST;
    return true;
}

void SerialLine::FinishRead(bool wait)
{
    const Read finished = reading;
    reading = Read::IDLE;
    DWORD error = ERROR_SUCCESS;
    const DWORD got = Transferred(port.Get(), readOverlapped, wait, error);
    if (finished == Read::REST) {
        Relay(1 + got);
        return;
    }
    if (got == 0) {
        // Cancelled by the worker, the loop reads again at once; failed (or ended empty), it is
        // read again after a pause or, when the port is gone, once it is back.
        if (!cancelling)
            ReadFailed(error);
        return;
    }
    if (!PostRestOfRead())
        Relay(1);
}

void SerialLine::CancelRead()
{
    // A first byte that came before the cancel starts the read of what is queued behind it,
    // which is cancelled in its turn; every byte read still goes to the client.
    cancelling = true;
    while (reading != Read::IDLE) {
        ::CancelIoEx(port.Get(), &readOverlapped);
        FinishRead(true);
    }
    cancelling = false;
}

void SerialLine::Relay(std::size_t count)
{
    log.WriteExchange(readBuffer, count);
    // What waits belongs to the client that was there when it was read; a newcomer starts afresh.
    const std::uint32_t generation = clientGeneration;
    if (generation != outputGeneration) {
        output.Clear();
        outputGeneration = generation;
    }
    if (escapeOutput) {
        escaped.clear();
        Rfc2217Session::AppendEscaped(escaped, readBuffer, count);
        output.Append(reinterpret_cast<const std::uint8_t*>(escaped.data()), escaped.size());
    } else {
        output.Append(readBuffer, count);
    }
    if (!sendBlocked)
        SendWaiting();
}

void SerialLine::SendWaiting()
{
    std::lock_guard guard(clientLock);
    sendBlocked = false;
    if (clientGeneration != outputGeneration || clientSocket == INVALID_SOCKET) {
        // Read for a client that has gone, or for nobody: it was logged, and that is all.
        output.Clear();
        outputGeneration = clientGeneration;
        if (clientSocket == INVALID_SOCKET)
            return;
    }
    // The protocol's bytes join the output between two reads, never inside a doubled 0xFF; what
    // does not fit waits for the client to take more, and joins once the output has gone.
    const auto addProtocol = [this] {
        if (protocolOut.empty() || output.Room() < protocolOut.size())
            return false;
        output.Append(reinterpret_cast<const std::uint8_t*>(protocolOut.data()), protocolOut.size());
        protocolOut.clear();
        protocolWaiting = false;
        return true;
    };
    addProtocol();
    if (outputSuspended)
        return;
    while (!output.Empty() || addProtocol()) {
        const auto front = output.Front();
        const int sent = ::send(clientSocket, reinterpret_cast<const char*>(front.data()), static_cast<int>(front.size()), 0);
        if (sent > 0) {
            output.Consume(static_cast<std::size_t>(sent));
        } else if (sent == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK) {
            // The client is slow: the rest waits, and its socket says (FD_WRITE) when it takes more.
            sendBlocked = true;
            return;
        } else {
            // The client is gone; the window thread hears of it and takes its socket back.
            output.Clear();
            return;
        }
    }
}

void SerialLine::StartWrite()
{
    // A chunk the loss of the port cut short goes on where the port left it.
    if (!chunkHeld)
        writeOffset = 0;
    chunkHeld = false;
    giveUpWriteAt = 0;  // a change that waits gives this chunk its own time on the wire
    WriteRest();
}

void SerialLine::WriteRest()
{
    writing = true;
    if (::WriteFile(port.Get(), chunk.Bytes() + writeOffset, static_cast<DWORD>(chunk.Size() - writeOffset), nullptr,
                    &writeOverlapped))
        return;
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING)
        WriteFailed(error);
}

void SerialLine::FinishWrite(bool wait)
{
    DWORD error = ERROR_SUCCESS;
    writeOffset += Transferred(port.Get(), writeOverlapped, wait, error);
    writing = false;
    if (writeOffset >= chunk.Size() || cancelling || !runFlag) {
        EndWrite();
    } else if (error == ERROR_SUCCESS) {
        // The driver took part of it: the rest goes out at once. A driver that takes nothing at
        // all drops the chunk, or the client's next one could never come.
        if (writeOffset > 0)
            WriteRest();
        else
            EndWrite();
    } else {
        WriteFailed(error);
    }
}

void SerialLine::WriteFailed(DWORD error)
{
    writing = false;
    if (PortGone(error)) {
        // The rest of the chunk waits for the port to come back, and the client's next bytes in TCP.
        chunkHeld = true;
        LoseLine(error);
    } else {
        EndWrite();  // the line refuses it: the chunk is dropped
    }
}

void SerialLine::EndWrite()
{
    // The whole chunk leaves, written or not, so that the client's next chunk can come.
    writing = false;
    ++chunksDone;
    chunk.Release();
    // Released first, then asked: a receive that parked after the release finds the chunk free.
    if (resumeWanted.exchange(false))
        ::PostMessageA(target, WM_RESUME_RECEIVE, 0, 0);
}

void SerialLine::CancelWrite()
{
    if (!writing)
        return;
    StopWrite();
    EndWrite();
}

void SerialLine::StopWrite()
{
    // What the port took before the cancel counts; the rest of the chunk is the caller's to decide.
    cancelling = true;
    ::CancelIoEx(port.Get(), &writeOverlapped);
    DWORD ignored = ERROR_SUCCESS;
    writeOffset += Transferred(port.Get(), writeOverlapped, true, ignored);
    cancelling = false;
    writing = false;
}

bool SerialLine::PortGone(DWORD error) const
{
    // What Windows' serial drivers answer once their device was removed. A cancel the worker did
    // not ask for comes with a removal too, but also from others: the port decides, below.
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_GEN_FAILURE:
    case ERROR_INVALID_HANDLE:
    case ERROR_NOT_READY:
        return true;
    default:
        break;
    }
    // Any other failure, or a read that ended with nothing: a port that no longer answers a
    // status query is gone (Wine's, when the terminal behind it has hung up).
    DWORD errors = 0;
    COMSTAT status{};
    return !::ClearCommError(port.Get(), &errors, &status);
}

void SerialLine::LoseLine(DWORD error)
{
    // What is on its way ends here: a first byte read still goes to the client, and what the port
    // had not taken of the client's chunk waits for it to come back.
    CancelRead();
    if (writing) {
        StopWrite();
        chunkHeld = true;
    }
    if (chunkHeld && writeOffset >= chunk.Size()) {
        chunkHeld = false;
        EndWrite();
    }
    readBroken = false;
    // The modem lines as the reopened port will have them, so that a client's query is answered truly.
    dtrOn = true;
    rtsOn = false;
    breakOn = false;
    // The last touch of the port: from here the handle is the window thread's.
    portLost = true;
    ::PostMessageA(target, WM_LINE_LOST, error, 0);
}

bool SerialLine::ChangesDue()
{
    std::lock_guard guard(commandLock);
    return FrontDueLocked();
}

bool SerialLine::FrontDueLocked() const
{
    return !commands.empty() && commands.front().afterChunks <= chunksDone;
}

void SerialLine::ApplyCommands()
{
    // No ReadFile on the port while the line changes; a byte that came before still goes on.
    CancelRead();
    std::deque<LineCommand> batch;
    {
        std::lock_guard guard(commandLock);
        while (FrontDueLocked()) {
            batch.push_back(commands.front());
            commands.pop_front();
        }
        commandsWaiting = !commands.empty();
    }
    for (const LineCommand& change : batch) {
        const LineResult result = Apply(change);
        std::lock_guard guard(commandLock);
        results.push_back(result);
    }
    ::PostMessageA(target, WM_LINE_RESULT, 0, 0);
}

LineResult SerialLine::Apply(const LineCommand& change)
{
    LineResult result{change, LineResult::Outcome::UNCHANGED};
    DCB settings{};
    settings.DCBlength = sizeof settings;
    if (!::GetCommState(port.Get(), &settings)) {
        result.outcome = LineResult::Outcome::STATE_UNREADABLE;
        return result;
    }
    switch (change.kind) {
    case LineCommand::Kind::SET_SPEED: {
        if (settings.BaudRate != change.value) {
            settings.BaudRate = change.value;
            result.outcome = ::SetCommState(port.Get(), &settings) ? LineResult::Outcome::SET : LineResult::Outcome::REFUSED;
        }
        // Whatever was on its way at the old rate is garbage at the new one.
        DWORD errors = 0;
        ::ClearCommError(port.Get(), &errors, nullptr);
        ::PurgeComm(port.Get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
        break;
    }
    case LineCommand::Kind::COM_PORT:
        result.valueInForce = ApplyComPort(change.comPort, settings);
        break;
    }
    // What the line has now, as the driver reports it: a setting it took without carrying it out
    // (a parity a pseudo-terminal cannot do, say) is not shown as done.
    if (::GetCommState(port.Get(), &settings)) {
        lineRate = settings.BaudRate;
        lineSettings = settings;  // what a reopened port gets
        result.baudRate = settings.BaudRate;
        result.parity = settings.Parity;
        result.stopBits = settings.StopBits;
        if (change.kind == LineCommand::Kind::COM_PORT && change.comPort.code != Rfc2217Command::SET_CONTROL &&
            change.comPort.code != Rfc2217Command::PURGE_DATA)
            result.valueInForce = change.comPort.code == Rfc2217Command::SET_BAUDRATE   ? settings.BaudRate
                                  : change.comPort.code == Rfc2217Command::SET_DATASIZE ? settings.ByteSize
                                  : change.comPort.code == Rfc2217Command::SET_PARITY
                                      ? Rfc2217Command::ParityOfDcb(settings.Parity)
                                      : Rfc2217Command::StopSizeOfDcb(settings.StopBits);
    }
    return result;
}

std::uint32_t SerialLine::ApplyComPort(const Rfc2217Command& request, DCB& settings)
{
    // A value of 0 only asks; a setting is tried, and the answer is read back from the line afterwards.
    DCB wanted = settings;
    switch (request.code) {
    case Rfc2217Command::SET_BAUDRATE:
        if (request.value != 0)
            wanted.BaudRate = request.value;
        break;
    case Rfc2217Command::SET_DATASIZE:
        if (request.value >= 5 && request.value <= 8)
            wanted.ByteSize = static_cast<BYTE>(request.value);
        break;
    case Rfc2217Command::SET_PARITY:
        if (const int parity = Rfc2217Command::DcbParity(request.value); parity >= 0) {
            wanted.Parity = static_cast<BYTE>(parity);
            wanted.fParity = parity != NOPARITY;
        }
        break;
    case Rfc2217Command::SET_STOPSIZE:
        if (const int stopBits = Rfc2217Command::DcbStopBits(request.value); stopBits >= 0)
            wanted.StopBits = static_cast<BYTE>(stopBits);
        break;
    case Rfc2217Command::SET_CONTROL:
        return ApplyControl(static_cast<std::uint8_t>(request.value), settings);
    case Rfc2217Command::PURGE_DATA: {
        const DWORD queues = (request.value & 1 ? PURGE_RXCLEAR : 0) | (request.value & 2 ? PURGE_TXCLEAR : 0);
        ::PurgeComm(port.Get(), queues);
        return request.value;
    }
    default:
        return 0;
    }
    if (std::memcmp(&wanted, &settings, sizeof settings) != 0)
        ::SetCommState(port.Get(), &wanted);
    return 0;  // read back by the caller
}

std::uint32_t SerialLine::ApplyControl(std::uint8_t code, DCB& settings)
{
    using C = Rfc2217Command;
    DCB wanted = settings;
    switch (code) {
    case C::CONTROL_FLOW_NONE:
    case C::CONTROL_INFLOW_NONE:
        wanted.fOutX = wanted.fInX = 0;
        wanted.fOutxCtsFlow = 0;
        if (wanted.fRtsControl == RTS_CONTROL_HANDSHAKE)
            wanted.fRtsControl = rtsOn ? RTS_CONTROL_ENABLE : RTS_CONTROL_DISABLE;
        break;
    case C::CONTROL_FLOW_XONXOFF:
    case C::CONTROL_INFLOW_XONXOFF:
        wanted.fOutX = wanted.fInX = 1;
        break;
    case C::CONTROL_FLOW_HARDWARE:
    case C::CONTROL_INFLOW_HARDWARE:
        wanted.fOutxCtsFlow = 1;
        wanted.fRtsControl = RTS_CONTROL_HANDSHAKE;
        break;
    case C::CONTROL_BREAK_ON:
    case C::CONTROL_BREAK_OFF:
        if ((code == C::CONTROL_BREAK_ON ? ::SetCommBreak(port.Get()) : ::ClearCommBreak(port.Get())) != FALSE)
            breakOn = code == C::CONTROL_BREAK_ON;
        break;
    case C::CONTROL_DTR_ON:
    case C::CONTROL_DTR_OFF:
        if (::EscapeCommFunction(port.Get(), code == C::CONTROL_DTR_ON ? SETDTR : CLRDTR))
            dtrOn = code == C::CONTROL_DTR_ON;
        break;
    case C::CONTROL_RTS_ON:
    case C::CONTROL_RTS_OFF:
        if (::EscapeCommFunction(port.Get(), code == C::CONTROL_RTS_ON ? SETRTS : CLRRTS))
            rtsOn = code == C::CONTROL_RTS_ON;
        break;
    default:
        break;  // a query, or a flow control this line has no way to do
    }
    if (std::memcmp(&wanted, &settings, sizeof settings) != 0 && ::SetCommState(port.Get(), &wanted))
        ::GetCommState(port.Get(), &settings);
    // The answer is the group's setting in force.
    if (code <= C::CONTROL_FLOW_HARDWARE || code == C::CONTROL_FLOW_DCD || code == C::CONTROL_FLOW_DSR)
        return settings.fOutxCtsFlow ? C::CONTROL_FLOW_HARDWARE : settings.fOutX ? C::CONTROL_FLOW_XONXOFF : C::CONTROL_FLOW_NONE;
    if (code <= C::CONTROL_BREAK_OFF)
        return breakOn ? C::CONTROL_BREAK_ON : C::CONTROL_BREAK_OFF;
    if (code <= C::CONTROL_DTR_OFF)
        return dtrOn ? C::CONTROL_DTR_ON : C::CONTROL_DTR_OFF;
    if (code <= C::CONTROL_RTS_OFF)
        return rtsOn ? C::CONTROL_RTS_ON : C::CONTROL_RTS_OFF;
    return settings.fRtsControl == RTS_CONTROL_HANDSHAKE ? C::CONTROL_INFLOW_HARDWARE
           : settings.fInX                               ? C::CONTROL_INFLOW_XONXOFF
                                                         : C::CONTROL_INFLOW_NONE;
}
