// The serial line towards the exchange: the worker that carries the bytes, and the face the engine uses.
#include "SerialLine.h"

#include <deque>

#include "../../framework/CWinThread.h"
#include "BridgeMessages.h"

namespace {
// A wait that failed (it cannot, with handles we own) is not tried again at once.
constexpr DWORD WAIT_FAILED_PAUSE_MS = 100;

static_assert(static_cast<std::uintptr_t>(INVALID_SOCKET) == ClientOutput::NO_CLIENT);

// The worker's send to the data client's socket, in the output's terms.
long SendToSocket(std::uintptr_t client, const std::uint8_t* bytes, std::size_t length)
{
    const int sent = ::send(static_cast<SOCKET>(client), reinterpret_cast<const char*>(bytes), static_cast<int>(length), 0);
    if (sent > 0)
        return sent;
    if (sent == SOCKET_ERROR && ::WSAGetLastError() == WSAEWOULDBLOCK)
        return ClientOutput::WOULD_BLOCK;
    return ClientOutput::GONE;
}
}

SerialLine::SerialLine(ClientChunk& clientChunk, TrafficLog& trafficLog)
    : chunk(clientChunk),
      log(trafficLog),
      output(OUTPUT_CAPACITY, SendToSocket, 2 * SerialReader::BUFFER_SIZE),
      reader(
          port, [this](const std::uint8_t* bytes, std::size_t count) { Relay(bytes, count); },
          [this](DWORD error) { return PortGone(error); }, [this](DWORD error) { LoseLine(error); }),
      writer(
          port, clientChunk, [this](DWORD error) { return PortGone(error); }, [this](DWORD error) { LoseLine(error); },
          [this] { ChunkLeft(); })
{
}

SerialLine::~SerialLine()
{
    // However the bridge ended, no worker may outlive the buffers it uses.
    Stop();
}

bool SerialLine::Open(int number)
{
    // Only one line runs at a time: a second open replaces the first line and its worker.
    Stop();
    return port.Open(number);
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
    if (!port.Reopen(parameters))
        return false;
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

void SerialLine::Start(HWND window)
{
    target = window;
    runFlag = true;
    reader.Reset();
    writer.Reset();
    checkPort = false;
    // A port that never opened is lost from the start: the worker waits for it to be opened.
    portLost = !port.IsOpen();
    output.Reset();
    port.ResetModemLines();  // as Configure set them
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
    commands.Clear();
    port.Close();
}

void SerialLine::SetClient(SOCKET socket, bool comPortClient)
{
    output.SetClient(static_cast<std::uintptr_t>(socket), comPortClient);
    // A worker that waits for the previous client's socket to take more waits no longer.
    command.SetEvent();
}

void SerialLine::SendToClient(const std::string& bytes)
{
    output.AddProtocol(bytes);
    command.SetEvent();
}

void SerialLine::SuspendClientOutput(bool suspend)
{
    output.Suspend(suspend);
    command.SetEvent();
}

bool SerialLine::Queue(const LineCommand& change)
{
    LineCommand stamped = change;
    stamped.outputClient = output.Generation();
    if (!commands.Queue(stamped, chunk.Offers()))
        return false;
    command.SetEvent();
    return true;
}

UINT SerialLine::WorkerProc(void* self)
{
    static_cast<SerialLine*>(self)->RunWorker();
    return 0;
}

void SerialLine::RunWorker()
{
    while (runFlag) {
        if (answersWanted && !AnswersBacklogged() && answersWanted.exchange(false))
            ::PostMessageA(target, WM_RESUME_RECEIVE, 0, 0);
        // A removal the system told of: the port is looked at once, and let go if it is dead.
        if (checkPort.exchange(false) && !portLost && PortGone(ERROR_SUCCESS)) {
            LoseLine(::GetLastError());
            continue;
        }
        // While the port is lost nothing touches it: changes wait for it as the client's bytes do.
        // A change is due once the client's chunks offered before it have gone to the line, so
        // that a change and the client's bytes reach the line in the order they came.
        const bool changes = commands.Waiting() && !portLost;
        const bool due = changes && ChangesDue();
        // A chunk cut short by the loss is finished first, as it would have been without it.
        if (due && !writer.Writing() && !writer.Held()) {
            ApplyCommands();
            continue;
        }
        // With no flow control nothing but the bridge's reading keeps the exchange's bytes: a port
        // that is not read overruns, and they are lost for the log too. So the line is read
        // whatever the client does, and a client that falls too far behind is let go (see
        // ClientOutput). With flow control in force a full output stops the reading, and the
        // flow control holds the exchange; there is room for a whole read even when every byte
        // of it is doubled.
        if (!portLost && reader.Idle() && !reader.Broken() && !due &&
            (!port.FlowControl() || output.Room() >= 2 * SerialReader::BUFFER_SIZE))
            reader.Post();
        if (!portLost && !writer.Writing() && (writer.Held() || !due) && !chunk.IsFree())
            writer.Start();

        // Only the transfers in progress are waited for: a finished one's event stays set until
        // the next transfer starts, and resetting it would cost a call for every burst.
        HANDLE wakers[5] = {command.Handle(), chunk.OfferedEvent()};
        DWORD count = 2;
        const DWORD readSlot = !reader.Idle() ? count++ : MAXDWORD;
        if (readSlot != MAXDWORD)
            wakers[readSlot] = reader.DoneEvent();
        const DWORD writeSlot = writer.Writing() ? count++ : MAXDWORD;
        if (writeSlot != MAXDWORD)
            wakers[writeSlot] = writer.DoneEvent();
        const DWORD writableSlot = output.Blocked() ? count++ : MAXDWORD;
        if (writableSlot != MAXDWORD)
            wakers[writableSlot] = writable.Handle();

        DWORD timeout = INFINITE;
        reader.Deadline(timeout);
        writer.Deadline(changes, port.Rate(), timeout);

        if (portLost)
            timeout = INFINITE;  // no polling of a port that is gone: the window thread reopens it
        const DWORD woken = ::WaitForMultipleObjects(count, wakers, FALSE, timeout);
        if (woken == WAIT_FAILED) {
            ::Sleep(WAIT_FAILED_PAUSE_MS);  // cannot happen with handles we own; never spin if it does
        } else if (woken == WAIT_OBJECT_0 + readSlot) {
            reader.Finish(false);
        } else if (woken == WAIT_OBJECT_0 + writeSlot) {
            writer.Finish(false, runFlag);
        } else if (woken == WAIT_OBJECT_0 + writableSlot) {
            output.SendWaiting();
        } else if (woken == WAIT_OBJECT_0) {
            // The client may have changed, may be sent more, may have resumed its output, or the
            // com-port protocol has something to say.
            if (output.HasWork())
                output.SendWaiting();
        } else if (woken == WAIT_TIMEOUT) {
            writer.GiveUpIfDue();
        }
        // Whatever woke the worker: a pause that is over ends, and a driver that promised more
        // than it had sees its read cut short, so that what came goes on now.
        reader.OnTime();
    }
    // Stopping: nothing more goes to or comes from the port.
    reader.Cancel();
    writer.Cancel();
}

void SerialLine::Relay(const std::uint8_t* bytes, std::size_t count)
{
    log.WriteExchange(bytes, count);
    if (!output.Relay(bytes, count))
        ::PostMessageA(target, WM_CLIENT_BEHIND, 0, 0);
}

void SerialLine::ChunkLeft()
{
    // Released first, then asked: a receive that parked after the release finds the chunk free.
    if (resumeWanted.exchange(false))
        ::PostMessageA(target, WM_RESUME_RECEIVE, 0, 0);
}

bool SerialLine::PortGone(DWORD error)
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
    return !port.Answers();
}

void SerialLine::LoseLine(DWORD error)
{
    // What is on its way ends here: a first byte read still goes to the client, and what the port
    // had not taken of the client's chunk waits for it to come back.
    reader.Cancel();
    writer.HoldForLoss();
    reader.ClearBroken();
    // The modem lines as the reopened port will have them, so that a client's query is answered truly.
    port.ResetModemLines();
    // The last touch of the port: from here the handle is the window thread's.
    portLost = true;
    ::PostMessageA(target, WM_LINE_LOST, error, 0);
}

bool SerialLine::ChangesDue()
{
    return commands.Due(writer.ChunksDone());
}

void SerialLine::ApplyCommands()
{
    // No ReadFile on the port while the line changes; a byte that came before still goes on.
    reader.Cancel();
    const std::deque<LineCommand> batch = commands.TakeDue(writer.ChunksDone());
    for (const LineCommand& change : batch) {
        commands.AddResult(port.Apply(change));
        // The bytes read before the purge and not yet taken are as stale as the driver's were.
        if (change.kind == LineCommand::Kind::COM_PORT && LineSettingsDecision::PurgesClientOutput(change.comPort))
            output.Purge(change.outputClient);
    }
    ::PostMessageA(target, WM_LINE_RESULT, 0, 0);
}
