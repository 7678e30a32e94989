// The bridge itself: listeners and takeover, the relay between the data client and the line, speed records, the log.
#include "BridgeEngine.h"

#include <algorithm>
#include <cstdio>

#include <dbt.h>

#include "../../framework/CFileException.h"
#include "BridgeMessages.h"
#include "../core/ClientAllowList.h"
#include "../core/ComPortList.h"
#include "../core/Ipv4Text.h"
#include "../core/ListenCheck.h"
#include "../core/SerialEncodings.h"
#include "../core/TrafficLogFormat.h"
#include "version.h"

namespace {
constexpr const char* NO_CONNECTION_TEXT = "(brak połączenia)";
// The system's longest queue of connections waiting to be accepted: with a short one, a flood of
// connections (refused ones too) fills it, and the engineer's own connection is dropped meanwhile.
constexpr int LISTEN_BACKLOG = SOMAXCONN;
constexpr UINT MODEM_POLL_MS = 100;  // how soon a com-port client hears of a modem line's change
// Waiting connections taken at one notice, so that a flood never holds the window thread long.
constexpr int ACCEPTS_PER_NOTICE = 64;
// A closing client's bytes are read to their end; beyond what was queued at its close, this
// much more is read before a client that goes on sending is reset.
constexpr std::size_t DRAIN_MARGIN = 64 * 1024;

// 0 when the listener listens, else the system's error code.
int StartListener(CBridgeSocket& listener, int port, const std::string& address, int role, IBridgeSocketOwner& owner)
{
    listener.role = role;
    listener.owner = &owner;
    if (listener.Create(static_cast<UINT>(port), SOCK_STREAM, CAsyncSocket::ALL_EVENTS,
                        address.empty() ? nullptr : address.c_str()) &&
        listener.Listen(LISTEN_BACKLOG))
        return 0;
    const int error = CAsyncSocket::GetLastError();
    listener.Close();
    return error != 0 ? error : -1;
}

// Nothing is read from a refused connection and nothing sent to it. It is reset rather than
// closed, so that a flood of them leaves no closed connections waiting out their time here.
void Refuse(SOCKET connection)
{
    CBridgeSocket::CloseSocket(connection, true);
}

ConnectionTraceFormat::Channel ChannelOf(const CBridgeSocket& socket)
{
    return socket.role == ROLE_CFG_CONNECTION || socket.role == ROLE_CFG_LISTENER ? ConnectionTraceFormat::Channel::CONFIG
                                                                                    : ConnectionTraceFormat::Channel::DATA;
}
}

BridgeEngine::BridgeEngine(IBridgeView& bridgeView) : view(bridgeView)
{
    // Called on whichever thread wrote, under the log's lock: only hand the text on.
    log.onFileFailure = [this](const CFileException& failure) {
        Trace(ConnectionTraceFormat::LogFileFailed(failure.fileName, failure.systemError));
        ReportLater(failure.what());
    };
    trace.onFailure = [this](const std::string& text) { ReportLater(text); };
}

void BridgeEngine::ReportLater(const std::string& text)
{
    {
        std::lock_guard guard(failureLock);
        failures.push_back(text);
    }
    ::PostMessageA(messageWindow, WM_LOG_FAILURE, 0, 0);
}

std::optional<ListenCheck::Failure> BridgeEngine::StartListeners()
{
    if (const int error = StartListener(dataListener, options.listenPort, options.listenAddress, ROLE_DATA_LISTENER, *this))
        return ListenCheck::Failure{ListenCheck::Field::LISTEN_PORT, ListenCheck::ListenerFailureMessage(options.listenPort, options.listenAddress, error)};
    if (options.configPortEnabled) {
        if (const int error =
                StartListener(configListener, options.configPort, options.listenAddress, ROLE_CFG_LISTENER, *this)) {
            dataListener.Close();
            return ListenCheck::Failure{ListenCheck::Field::CONFIG_PORT,
                                ListenCheck::ListenerFailureMessage(options.configPort, options.listenAddress, error)};
        }
    }
    if (options.rfc2217Port != 0) {
        if (const int error = StartListener(comPortListener, options.rfc2217Port, options.listenAddress,
                                            ROLE_COM_PORT_LISTENER, *this)) {
            dataListener.Close();
            configListener.Close();
            return ListenCheck::Failure{ListenCheck::Field::RFC2217_PORT,
                                ListenCheck::ListenerFailureMessage(options.rfc2217Port, options.listenAddress, error)};
        }
    }
    return std::nullopt;
}

void BridgeEngine::OpenTrace()
{
    if (options.traceFileName.empty())
        return;
    try {
        trace.Open(options.traceFileName);
    } catch (const CFileException& failure) {
        // The trace is a record beside the relay, never a reason to refuse it.
        ReportLater(failure.what());
    }
}

std::optional<ListenCheck::Failure> BridgeEngine::Start(const BridgeOptions& startOptions)
{
    options = startOptions;
    lineLost = false;
    clientStatus = NO_CONNECTION_TEXT;
    ClientAllowList allowed;
    ClientAllowList::Parse(options.allowedClients, allowed);  // checked before Listen: it parses
    admission = ClientAdmission(allowed, ClientAdmission::TakeoverFromSetting(options.takeover));
    if (auto failure = StartListeners())
        return failure;
    listening = true;
    OpenTrace();
    Trace(ConnectionTraceFormat::Listen(options.listenAddress, options.listenPort,
                                        options.configPortEnabled ? options.configPort : 0, options.rfc2217Port));
    view.Lock(ControlGroup::CONNECTION);
    if (options.logToTcp) {
        log.ConnectReceiver(options.logAddress, options.logPort);
        view.Lock(ControlGroup::LOG_RECEIVER);
    }
    if (options.logToFile) {
        log.OpenFile(options.logFileName);
        view.Lock(ControlGroup::LOG_FILE);
    }
    if (HasLine())
        OpenSerialPort(options.comPort);
    return std::nullopt;
}

void BridgeEngine::Stop()
{
    Shutdown();
    listening = false;
    configConnection.Disconnect();
    configRecords.Clear();
    configListener.Close();
}

void BridgeEngine::Shutdown()
{
    line.Stop();
    if (lineLost) {
        lineLost = false;
        ::KillTimer(messageWindow, LINE_RETRY_TIMER);
        view.ShowLineLost({});
    }
    // Bytes still waiting for the line belong to a session that has ended: the next Listen,
    // perhaps hours later and on another port or speed, must not write them.
    clientChunk.Discard();
    log.CloseFile();
    log.CloseReceiver();
    DropClient(dataConnection);
    dataListener.Close();
    comPortListener.Close();
    Trace(ConnectionTraceFormat::Stop());
    trace.Close();
}

void BridgeEngine::OpenSerialPort(int portNumber)
{
    view.Lock(ControlGroup::SERIAL_PARAMETERS);
    const bool opened = line.Open(portNumber);
    const DWORD openError = line.OpenError();
    if (!opened)
        view.ShowError("Handle Error COM1");
    if (!line.Configure(options.serial)) {
        char text[64];
        std::snprintf(text, sizeof text, "Błąd ustawień COM%d", portNumber);
        view.ShowError(text);
    }
    line.Start(messageWindow);
    // A port that is not there yet is waited for as one that went away: plugging it in is enough.
    if (!opened)
        LineGone(openError);
    // A client that sent while the boxes above were up is read now that a line can carry it.
    OnResumeReceive();
}

LRESULT BridgeEngine::OnLineLost(WPARAM error)
{
    // A notice from a line that has since been stopped or reopened is stale.
    if (listening && line.Running() && line.Lost() && !lineLost)
        LineGone(static_cast<DWORD>(error));
    return 0;
}

void BridgeEngine::LineGone(DWORD error)
{
    lineLost = true;
    line.CloseLostPort();
    const std::string name = ComPortList::Name(line.PortNumber());
    const std::string text = name + " odłączony";
    view.ShowStatus(text);
    view.ShowLineLost(text);
    Trace(ConnectionTraceFormat::LineGone(name, error));
    // The device-change notice reopens it at once; this is for the drivers and systems that send none.
    ::SetTimer(messageWindow, LINE_RETRY_TIMER, LINE_RETRY_MS, nullptr);
}

void BridgeEngine::RetryLine()
{
    if (!lineLost || !line.Reopen(options.serial))
        return;
    lineLost = false;
    ::KillTimer(messageWindow, LINE_RETRY_TIMER);
    Trace(ConnectionTraceFormat::LineBack(ComPortList::Name(line.PortNumber()), line.Rate()));
    view.ShowLineLost({});
    view.ShowStatus(clientStatus);
}

bool BridgeEngine::OnTimer(UINT_PTR id)
{
    if (id == LINE_RETRY_TIMER)
        RetryLine();
    else if (id == MODEM_TIMER)
        SendModemState();
    else
        return false;
    return true;
}

void BridgeEngine::OnDeviceChange(WPARAM event)
{
    if (!listening || !line.Running())
        return;
    switch (event) {
    case DBT_DEVICEARRIVAL:
    case DBT_DEVNODES_CHANGED:
        RetryLine();
        break;
    case DBT_DEVICEREMOVECOMPLETE:
        if (!lineLost)
            line.CheckPort();
        break;
    default:
        break;
    }
}

void BridgeEngine::ShowClient(const std::string& status)
{
    clientStatus = status;
    if (!lineLost)
        view.ShowStatus(status);
}

void BridgeEngine::OnSocketAccept(CBridgeSocket& listener)
{
    // The raw data port and the com-port port lead to the one data client.
    const bool comPort = listener.role == ROLE_COM_PORT_LISTENER;
    const bool data = listener.role == ROLE_DATA_LISTENER || comPort;
    if (!data && listener.role != ROLE_CFG_LISTENER)
        return;
    // Every connection that waits is taken, not only the one the notice was for: under a flood of
    // connections one notice may stand for several, and the listener's queue must not fill up.
    // Bounded, so that the window goes on answering; the system tells again of any left.
    for (int taken = 0; taken < ACCEPTS_PER_NOTICE; ++taken) {
        sockaddr_in peer{};
        const SOCKET newcomer = listener.AcceptHandle(peer);
        if (newcomer == INVALID_SOCKET)
            return;
        Admit(data ? dataConnection : configConnection, comPort, ChannelOf(listener), newcomer, peer);
    }
}

void BridgeEngine::Admit(CBridgeSocket& connection, bool comPort, ConnectionTraceFormat::Channel channel,
                         SOCKET newcomer, const sockaddr_in& peer)
{
    // The newcomer was accepted and is looked at before anything happens to the current client:
    // one that is refused leaves the current client as it was.
    const bool data = &connection == &dataConnection;
    const std::uint32_t address = ::ntohl(peer.sin_addr.s_addr);
    const int port = ::ntohs(peer.sin_port);
    const auto current = connection.connected ? std::optional(connection.peerAddress) : std::nullopt;
    switch (admission.Decide(address, current)) {
    case ClientAdmission::Verdict::REFUSE_NOT_ALLOWED:
        Refuse(newcomer);
        Trace(ConnectionTraceFormat::RefusedNotAllowed(channel, address, port));
        return;
    case ClientAdmission::Verdict::REFUSE_LINE_IN_USE:
        Refuse(newcomer);
        Trace(ConnectionTraceFormat::RefusedLineInUse(channel, address, port));
        return;
    case ClientAdmission::Verdict::TAKE_OVER:
        // The current client is cut off without a word.
        Trace(ConnectionTraceFormat::TakenOver(channel, connection.peerAddress, connection.peerPort, address, port));
        DropClient(connection);
        break;
    case ClientAdmission::Verdict::ACCEPT:
        break;
    }
    connection.owner = this;
    connection.role = data ? ROLE_DATA_CONNECTION : ROLE_CFG_CONNECTION;
    connection.connected = connection.Adopt(newcomer);
    if (!connection.connected)
        return;
    connection.peerAddress = address;
    connection.peerPort = port;
    Trace(ConnectionTraceFormat::Accepted(channel, address, port));
    if (data) {
        ++clientNumber;
        line.SetClient(connection.m_hSocket, comPort);
        if (comPort) {
            comPortSession = std::make_unique<Rfc2217Session>("Vextor " SUITE_VERSION_TEXT);
            line.SendToClient(comPortSession->Opening());
        }
        ShowClient(Ipv4Text::Format(address));
    }
}

void BridgeEngine::OnSocketClose(CBridgeSocket& socket)
{
    if ((socket.role != ROLE_DATA_CONNECTION && socket.role != ROLE_CFG_CONNECTION) || !socket.connected)
        return;
    // Windows may tell of the close while the client's last bytes still wait to be read: they
    // are read to the end and go the usual way, then the socket closes.
    u_long queued = 0;
    ::ioctlsocket(socket.m_hSocket, FIONREAD, &queued);
    socket.closing = true;
    socket.drainLeft = queued + DRAIN_MARGIN;
    if (socket.role == ROLE_DATA_CONNECTION)
        ReceiveData();
    else
        ReceiveConfig();
}

void BridgeEngine::OnSocketSend(CBridgeSocket& socket)
{
    if (socket.role == ROLE_DATA_CONNECTION && socket.connected)
        line.ClientWritable();
}

void BridgeEngine::DropClient(CBridgeSocket& socket, bool reset)
{
    // The line lets go of the socket before it closes, so that no send can reach it afterwards.
    if (socket.role == ROLE_DATA_CONNECTION) {
        line.SetClient(INVALID_SOCKET);
        if (comPortSession && messageWindow)
            ::KillTimer(messageWindow, MODEM_TIMER);
        comPortSession.reset();
        forTheLine.clear();  // what a com-port client sent beyond the chunk on its way goes with it
    }
    socket.Disconnect(reset);
    // The data client's bytes already received still go to the line; an unfinished record
    // of a configuration client would shift every record of the next one.
    if (socket.role == ROLE_CFG_CONNECTION)
        DropPartialRecord();
}

void BridgeEngine::EndConnection(CBridgeSocket& socket, bool reset)
{
    Trace(ConnectionTraceFormat::Closed(ChannelOf(socket), socket.peerAddress, socket.peerPort));
    DropClient(socket, reset);
    // The status is the data client's; the configuration channel leaves it alone.
    if (socket.role == ROLE_DATA_CONNECTION)
        ShowClient(NO_CONNECTION_TEXT);
}

bool BridgeEngine::Drained(CBridgeSocket& socket, int received)
{
    // The end of a closing client's bytes, or a connection that failed: it closes now. An open
    // client with nothing more to read goes on.
    if (received > 0) {
        if (!socket.closing)
            return false;
        if (static_cast<std::size_t>(received) <= socket.drainLeft) {
            socket.drainLeft -= static_cast<std::size_t>(received);
            return false;
        }
        EndConnection(socket, true);  // it goes on sending after its close: what it sent is gone now
        return true;
    }
    if (received == 0 || socket.closing || CAsyncSocket::GetLastError() != WSAEWOULDBLOCK) {
        EndConnection(socket);
        return true;
    }
    return false;
}

void BridgeEngine::DropPartialRecord()
{
    if (configRecords.Pending() == 0)
        return;
    log.Write(TrafficLogFormat::PartialRecordDropped(options.configPort, configRecords.Pending()));
    configRecords.Clear();
}

void BridgeEngine::OnSocketReceive(CBridgeSocket& socket)
{
    if (socket.role == ROLE_DATA_CONNECTION)
        ReceiveData();
    else if (socket.role == ROLE_CFG_CONNECTION)
        ReceiveConfig();
}

void BridgeEngine::ReceiveData()
{
    // The client's bytes are taken only when a serial worker is there to carry them and what
    // came before has left; until then they stay in TCP, which holds the client back, and the
    // receive is retried when the worker frees the way.
    if (!dataConnection.connected)
        return;
    // Without a COM port nothing will ever carry them: a client that closes is let go at once.
    if (!HasLine() && dataConnection.closing) {
        EndConnection(dataConnection);
        return;
    }
    if (!line.Running() || !PassToLine() || !LineFree()) {
        dataConnection.receiveWaiting = true;
        return;
    }
    dataConnection.receiveWaiting = false;
    std::uint8_t chunk[CBridgeSocket::CHUNK_SIZE];
    const int received = dataConnection.Receive(chunk, sizeof chunk);
    if (Drained(dataConnection, received) || received <= 0)
        return;  // a receive that got nothing changes nothing and logs nothing
    if (comPortSession)
        TakeFromComPortClient(chunk, static_cast<std::size_t>(received));
    else
        OfferToLine(chunk, static_cast<std::size_t>(received));
    // No more receive notifications come after a close: the drain goes on as the line frees the
    // way, at once when the worker has taken the chunk already.
    dataConnection.receiveWaiting = dataConnection.closing || !forTheLine.empty();
    if (dataConnection.receiveWaiting && LineFree())
        ::PostMessageA(messageWindow, WM_RESUME_RECEIVE, 0, 0);
}

void BridgeEngine::OfferToLine(const std::uint8_t* bytes, std::size_t length)
{
    // The entry is in the file before the line can carry the bytes, so that the exchange's
    // answer is never logged ahead of the request that caused it.
    const int port = comPortSession ? options.rfc2217Port : options.listenPort;
    log.Write(TrafficLogFormat::ClientPrefix(port), bytes, length);
    clientChunk.Offer(bytes, length);
    if (options.logToTcp)
        log.CopyToReceiver(bytes, static_cast<int>(length));
}

void BridgeEngine::TakeFromComPortClient(const std::uint8_t* bytes, std::size_t length)
{
    Rfc2217Session::Output out;
    comPortSession->Feed(bytes, length, out);
    if (!out.client.empty())
        line.SendToClient(out.client);
    if (out.comPortAgreed) {
        SendModemState();
        ::SetTimer(messageWindow, MODEM_TIMER, MODEM_POLL_MS, nullptr);
    }
    std::size_t taken = 0;
    for (const Rfc2217Command& command : out.commands) {
        if (command.lineOffset > taken)
            forTheLine.push_back({out.line.substr(taken, command.lineOffset - taken), false, {}});
        taken = command.lineOffset;
        forTheLine.push_back({std::string(), true, command});
    }
    if (taken < out.line.size())
        forTheLine.push_back({out.line.substr(taken), false, {}});
    PassToLine();
}

bool BridgeEngine::LineFree()
{
    // The worker says when the chunk has left only to a receive that waits for it, so that a
    // client whose every chunk finds the way free never wakes this thread twice. Asked before the
    // second look: a chunk released in between still brings the message, harmlessly.
    if (clientChunk.IsFree())
        return true;
    line.WantResume();
    return clientChunk.IsFree();
}

bool BridgeEngine::PassToLine()
{
    // In the order the client sent them: data a chunk at a time, and a command once the data
    // before it is on the line. True when nothing waits any more.
    while (!forTheLine.empty()) {
        ForTheLine& next = forTheLine.front();
        if (!LineFree())
            return false;
        if (next.isCommand) {
            const std::uint8_t code = next.command.code;
            if (code == Rfc2217Command::FLOWCONTROL_SUSPEND || code == Rfc2217Command::FLOWCONTROL_RESUME) {
                line.SuspendClientOutput(code == Rfc2217Command::FLOWCONTROL_SUSPEND);
            } else {
                LineCommand change{LineCommand::Kind::COM_PORT, clientNumber, dataConnection.peerAddress,
                                   dataConnection.peerPort, next.command};
                if (!QueueToLine(change))
                    return false;  // the line's queue is full: on with it when a result comes
            }
            forTheLine.pop_front();
            continue;
        }
        const std::size_t length = std::min<std::size_t>(next.data.size(), ClientChunk::MAX_CHUNK);
        OfferToLine(reinterpret_cast<const std::uint8_t*>(next.data.data()), length);
        next.data.erase(0, length);
        if (next.data.empty())
            forTheLine.pop_front();
    }
    return true;
}

void BridgeEngine::SendModemState()
{
    if (!comPortSession)
        return;
    // A line that cannot tell its modem lines (a pseudo-terminal, say) has none that are on.
    DWORD lines = 0;
    if (!line.ModemStatus(lines))
        lines = 0;
    const std::string notification = comPortSession->ModemState(static_cast<std::uint8_t>(lines & 0xF0));
    if (!notification.empty())
        line.SendToClient(notification);
}

void BridgeEngine::ReceiveConfig()
{
    // Records are read only as fast as the line applies them: while its queue of changes is
    // full, the client's bytes wait in TCP, as the data client's do.
    while (configConnection.connected) {
        QueueRecords();
        if (line.QueueFull()) {
            configConnection.receiveWaiting = true;
            return;
        }
        configConnection.receiveWaiting = false;
        std::uint8_t chunk[CBridgeSocket::CHUNK_SIZE];
        const int received = configConnection.Receive(
            chunk, static_cast<int>(std::min<std::size_t>(sizeof chunk, configRecords.Room())));
        if (Drained(configConnection, received) || received <= 0)
            return;
        configRecords.Append(chunk, static_cast<std::size_t>(received));
        log.Write(TrafficLogFormat::ClientPrefix(options.configPort), chunk, static_cast<std::size_t>(received));
        if (!configConnection.closing) {
            QueueRecords();
            return;
        }
    }
}

void BridgeEngine::QueueRecords()
{
    while (!line.QueueFull()) {
        const auto record = configRecords.Next();
        if (!record)
            return;
        // Records have one size whatever their code, so an unknown one is logged and skipped.
        if (record->code == ConfigRecord::CFG_SPEED) {
            log.Write(TrafficLogFormat::SpeedRequest(options.configPort, record->value));
            QueueToLine(LineCommand{LineCommand::Kind::SET_SPEED, record->value, configConnection.peerAddress,
                                    configConnection.peerPort, {}});
        } else {
            log.Write(TrafficLogFormat::UnknownRecord(options.configPort, record->code));
        }
    }
}

LRESULT BridgeEngine::OnLineResult()
{
    for (const LineResult& result : line.TakeResults())
        ShowLineResult(result);
    // Records and com-port commands that waited for room in the line's queue go on.
    if (configConnection.connected)
        configConnection.receiveWaiting ? ReceiveConfig() : QueueRecords();
    OnResumeReceive();
    return 0;
}

bool BridgeEngine::HasLine() const
{
    return options.comPort >= 1 && options.comPort <= ComPortList::MAX_PORT;
}

bool BridgeEngine::QueueToLine(const LineCommand& change)
{
    // Without a COM port no worker will ever apply it: it is answered at once, as a line whose
    // state cannot be read, so that nothing waits for it.
    if (!HasLine()) {
        ShowLineResult(LineResult{change, LineResult::Outcome::STATE_UNREADABLE});
        return true;
    }
    return line.Queue(change);
}

void BridgeEngine::ShowLineResult(const LineResult& result)
{
    if (result.command.kind == LineCommand::Kind::COM_PORT) {
        // The answer goes to the client that asked, if it is still there; the panel follows the line.
        const Rfc2217Command& asked = result.command.comPort;
        if (comPortSession && result.command.value == clientNumber)
            line.SendToClient(Rfc2217Session::Reply(asked, result.valueInForce));
        if (asked.value != 0 && result.outcome != LineResult::Outcome::STATE_UNREADABLE) {
            if (asked.code == Rfc2217Command::SET_BAUDRATE)
                view.ShowSpeed(SerialEncodings::SpeedIndexOf(static_cast<int>(result.baudRate)));
            else if (asked.code == Rfc2217Command::SET_PARITY)
                view.ShowParity(SerialEncodings::ParityIndexOf(result.parity));
            else if (asked.code == Rfc2217Command::SET_STOPSIZE)
                view.ShowStopBits(SerialEncodings::StopBitsIndexOf(result.stopBits));
        }
        return;
    }
    const std::uint32_t rate = result.command.value;
    switch (result.outcome) {
    case LineResult::Outcome::STATE_UNREADABLE:
        log.Write(TrafficLogFormat::StateUnreadable(options.configPort));
        break;
    case LineResult::Outcome::SET:
        if (const int shown = SerialEncodings::SpeedIndexAfterRecord(rate); shown >= 0)
            view.ShowSpeed(shown);
        log.Write(TrafficLogFormat::SpeedSet(options.configPort, rate));
        Trace(ConnectionTraceFormat::SpeedSet(result.command.requesterAddress, result.command.requesterPort, rate));
        break;
    case LineResult::Outcome::REFUSED:
        log.Write(TrafficLogFormat::SpeedRefused(options.configPort, rate));
        Trace(ConnectionTraceFormat::SpeedRefused(result.command.requesterAddress, result.command.requesterPort, rate));
        break;
    case LineResult::Outcome::UNCHANGED:
        break;
    }
}

LRESULT BridgeEngine::OnLogFailure()
{
    std::deque<std::string> taken;
    {
        std::lock_guard guard(failureLock);
        taken.swap(failures);
    }
    for (const std::string& text : taken)
        view.ShowErrorLater(text);
    return 0;
}

LRESULT BridgeEngine::OnResumeReceive()
{
    if (dataConnection.receiveWaiting && dataConnection.connected)
        ReceiveData();
    return 0;
}
