// The bridge's listeners and its two connections: who is let in, who is taken over, and how a client's close is drained.
#include "AdmissionGate.h"

#include <algorithm>

#include "../core/ClientAllowList.h"
#include "../core/Ipv4Text.h"
#include "BridgeMessages.h"
#include "ComPortClient.h"
#include "ConfigChannel.h"
#include "DataRelay.h"

namespace {
// The system's longest queue of connections waiting to be accepted: with a short one, a flood of
// connections (refused ones too) fills it, and the engineer's own connection is dropped meanwhile.
constexpr int LISTEN_BACKLOG = SOMAXCONN;
// Waiting connections taken at one notice, so that a flood never holds the engine's thread long.
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

ConnectionTraceFormat::Channel ChannelOf(const CBridgeSocket& socket)
{
    return socket.role == ROLE_CFG_CONNECTION || socket.role == ROLE_CFG_LISTENER ? ConnectionTraceFormat::Channel::CONFIG
                                                                                    : ConnectionTraceFormat::Channel::DATA;
}
}

std::optional<ListenCheck::Failure> AdmissionGate::Open(const BridgeOptions& options)
{
    ClientAllowList allowed;
    ClientAllowList::Parse(options.allowedClients, allowed);  // checked before Listen: it parses
    admission = ClientAdmission(allowed, ClientAdmission::TakeoverFromSetting(options.takeover));
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

void AdmissionGate::CloseData()
{
    DropClient(dataConnection);
    dataListener.Close();
    comPortListener.Close();
    if (refusalTimer)
        host.KillTimer(REFUSAL_TIMER);
    refusalTimer = false;
    WriteCounts(refusals.TakeAll());
}

void AdmissionGate::CloseConfig()
{
    configConnection.Disconnect();
    configListener.Close();
}

void AdmissionGate::OnSocketAccept(CBridgeSocket& listener)
{
    // The raw data port and the com-port port lead to the one data client.
    const bool comPortClient = listener.role == ROLE_COM_PORT_LISTENER;
    const bool data = listener.role == ROLE_DATA_LISTENER || comPortClient;
    if (!data && listener.role != ROLE_CFG_LISTENER)
        return;
    // Every connection that waits is taken, not only the one the notice was for: under a flood of
    // connections one notice may stand for several, and the listener's queue must not fill up.
    // Bounded, so that the thread goes on answering; the system tells again of any left.
    for (int taken = 0; taken < ACCEPTS_PER_NOTICE; ++taken) {
        sockaddr_in peer{};
        const SOCKET newcomer = listener.AcceptHandle(peer);
        if (newcomer == INVALID_SOCKET)
            return;
        Admit(data ? dataConnection : configConnection, comPortClient, ChannelOf(listener), newcomer, peer);
    }
}

void AdmissionGate::Admit(CBridgeSocket& connection, bool comPortClient, ConnectionTraceFormat::Channel channel,
                          SOCKET newcomer, const sockaddr_in& peer)
{
    // The newcomer was accepted and is looked at before anything happens to the current client:
    // one that is refused leaves the current client as it was.
    const bool data = &connection == &dataConnection;
    const std::uint32_t address = ::ntohl(peer.sin_addr.s_addr);
    const int port = ::ntohs(peer.sin_port);
    // A current client whose close came before the newcomer, but was not handled yet, is gone:
    // the newcomer is simply the next client, under every rule.
    if (connection.connected && GoneUnnoticed(connection))
        EndConnection(connection);
    const auto current = connection.connected ? std::optional(connection.peerAddress) : std::nullopt;
    switch (admission.Decide(address, current)) {
    case ClientAdmission::Verdict::REFUSE_NOT_ALLOWED:
        Refuse(newcomer, channel, address, port, RefusalTally::Reason::NOT_ALLOWED);
        return;
    case ClientAdmission::Verdict::REFUSE_LINE_IN_USE:
        Refuse(newcomer, channel, address, port, RefusalTally::Reason::LINE_IN_USE);
        return;
    case ClientAdmission::Verdict::TAKE_OVER:
        // The current client is cut off without a word.
        trace.Write(ConnectionTraceFormat::TakenOver(channel, connection.peerAddress, connection.peerPort, address, port));
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
    connection.KeepAlive();
    trace.Write(ConnectionTraceFormat::Accepted(channel, address, port));
    if (data) {
        line.SetClient(connection.m_hSocket, comPortClient);
        comPort.Welcome(comPortClient);
        report.ShowClient(Ipv4Text::Format(address));
    }
}

void AdmissionGate::OnSocketClose(CBridgeSocket& socket)
{
    if ((socket.role != ROLE_DATA_CONNECTION && socket.role != ROLE_CFG_CONNECTION) || !socket.connected)
        return;
    // Windows may tell of the close while the client's last bytes still wait to be read: they
    // are read to the end and go the usual way, then the socket closes.
    u_long queued = 0;
    ::ioctlsocket(socket.m_hSocket, FIONREAD, &queued);
    socket.closing = true;
    socket.drainLeft = queued + DRAIN_MARGIN;
    OnSocketReceive(socket);
}

void AdmissionGate::OnSocketReceive(CBridgeSocket& socket)
{
    if (socket.role == ROLE_DATA_CONNECTION)
        relay.Receive();
    else if (socket.role == ROLE_CFG_CONNECTION)
        config.Receive();
}

void AdmissionGate::OnSocketSend(CBridgeSocket& socket)
{
    if (socket.role == ROLE_DATA_CONNECTION && socket.connected)
        line.ClientWritable();
}

void AdmissionGate::DropClient(CBridgeSocket& socket, bool reset)
{
    // The line lets go of the socket before it closes, so that no send can reach it afterwards.
    if (socket.role == ROLE_DATA_CONNECTION) {
        line.SetClient(INVALID_SOCKET);
        comPort.Farewell();
    }
    socket.Disconnect(reset);
    // The data client's bytes already received still go to the line; an unfinished record
    // of a configuration client would shift every record of the next one.
    if (socket.role == ROLE_CFG_CONNECTION)
        config.DropPartialRecord();
}

void AdmissionGate::EndConnection(CBridgeSocket& socket, bool reset, std::string_view why)
{
    trace.Write(ConnectionTraceFormat::Closed(ChannelOf(socket), socket.peerAddress, socket.peerPort, why));
    Let(socket, reset);
}

void AdmissionGate::EndWithoutLine(CBridgeSocket& socket, std::uint64_t discarded)
{
    u_long unread = 0;
    ::ioctlsocket(socket.m_hSocket, FIONREAD, &unread);
    discarded += unread;
    trace.Write(discarded == 0 ? ConnectionTraceFormat::Closed(ChannelOf(socket), socket.peerAddress, socket.peerPort)
                               : ConnectionTraceFormat::ClosedWithoutLine(ChannelOf(socket), socket.peerAddress,
                                                                          socket.peerPort, discarded));
    Let(socket, discarded != 0);
}

void AdmissionGate::Let(CBridgeSocket& socket, bool reset)
{
    DropClient(socket, reset);
    // The status is the data client's; the configuration channel leaves it alone.
    if (socket.role == ROLE_DATA_CONNECTION)
        report.ShowClient(EngineReport::NO_CLIENT_TEXT);
}

bool AdmissionGate::Drained(CBridgeSocket& socket, int received)
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

bool AdmissionGate::GoneUnnoticed(CBridgeSocket& connection)
{
    // Bytes of a closing client that still wait for the line keep it: they are its last words.
    if (&connection == &dataConnection && comPort.Waiting())
        return false;
    return connection.PeerClosed();
}

void AdmissionGate::Refuse(SOCKET newcomer, ConnectionTraceFormat::Channel channel, std::uint32_t address, int port,
                           RefusalTally::Reason reason)
{
    // Nothing is read from a refused connection and nothing sent to it. It is reset rather than
    // closed, so that a flood of them leaves no closed connections waiting out their time here.
    CBridgeSocket::CloseSocket(newcomer, true);
    // A flood of refusals must not fill the disk under the trace: an address's first refusal is
    // written, the rest of its minute only counted.
    const std::uint64_t now = ::GetTickCount64();
    WriteCounts(refusals.TakeDue(now));
    if (!refusals.Refuse(address, reason, now))
        return;
    trace.Write(reason == RefusalTally::Reason::NOT_ALLOWED ? ConnectionTraceFormat::RefusedNotAllowed(channel, address, port)
                                                            : ConnectionTraceFormat::RefusedLineInUse(channel, address, port));
    // A minute opened later never ends before the ones open already: the timer runs to the first.
    if (!refusalTimer) {
        refusalTimer = true;
        host.SetTimer(REFUSAL_TIMER, static_cast<UINT>(refusals.NextDueIn(now).value_or(RefusalTally::MINUTE_MS)));
    }
}

void AdmissionGate::WriteRefusalCounts()
{
    const std::uint64_t now = ::GetTickCount64();
    WriteCounts(refusals.TakeDue(now));
    const auto next = refusals.NextDueIn(now);
    refusalTimer = next.has_value();
    if (next)
        host.SetTimer(REFUSAL_TIMER, static_cast<UINT>(std::max<std::uint64_t>(*next, 1)));
    else
        host.KillTimer(REFUSAL_TIMER);
}

void AdmissionGate::WriteCounts(const std::vector<RefusalTally::Count>& counts)
{
    for (const RefusalTally::Count& count : counts)
        trace.Write(ConnectionTraceFormat::RefusalsCounted(count.address, count.reason, count.more));
}
