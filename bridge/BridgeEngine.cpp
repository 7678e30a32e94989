// The bridge itself: listeners and takeover, the relay between the data client and the line, speed records, the log.
#include "BridgeEngine.h"

#include <algorithm>
#include <cstdio>

#include "SerialEncodings.h"
#include "TrafficLogFormat.h"

namespace {
constexpr const char* NO_CONNECTION_TEXT = "(brak połączenia)";
constexpr int LISTEN_BACKLOG = 5;

void StartListener(CBridgeSocket& listener, int port, int role, IBridgeSocketOwner& owner)
{
    listener.Create(static_cast<UINT>(port), SOCK_STREAM, CAsyncSocket::ALL_EVENTS, nullptr);
    listener.Listen(LISTEN_BACKLOG);
    listener.role = role;
    listener.owner = &owner;
}
}

BridgeEngine::BridgeEngine(IBridgeView& bridgeView) : view(bridgeView)
{
    log.onFileFailure = [this](const std::string& text) { view.ShowErrorLater(text); };
}

void BridgeEngine::Start(const BridgeOptions& startOptions)
{
    options = startOptions;
    listening = true;
    StartListener(dataListener, options.listenPort, ROLE_DATA_LISTENER, *this);
    StartListener(configListener, options.configPort, ROLE_CFG_LISTENER, *this);
    view.Lock(ControlGroup::CONNECTION);
    if (options.logToTcp) {
        log.ConnectReceiver(options.logAddress, options.logPort);
        view.Lock(ControlGroup::LOG_RECEIVER);
    }
    if (options.logToFile) {
        log.OpenFile(options.logFileName);
        view.Lock(ControlGroup::LOG_FILE);
    }
    if (options.com1)
        OpenSerialPort(1);
    if (options.com2)
        OpenSerialPort(2);
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
    // Bytes still waiting for the line belong to a session that has ended: the next Listen,
    // perhaps hours later and on another port or speed, must not write them.
    clientChunk.Discard();
    log.CloseFile();
    log.CloseReceiver();
    dataConnection.Disconnect();
    dataListener.Close();
}

void BridgeEngine::OpenSerialPort(int portNumber)
{
    view.Lock(ControlGroup::SERIAL_PARAMETERS);
    if (!line.Open(portNumber))
        view.ShowError("Handle Error COM1");
    if (!line.Configure(options.serial)) {
        char text[64];
        std::snprintf(text, sizeof text, "Błąd ustawień COM%d", portNumber);
        view.ShowError(text);
    }
    line.Start(messageWindow);
    // A client that sent while the boxes above were up is read now that a line can carry it.
    OnResumeReceive();
}

void BridgeEngine::OnSocketAccept(CBridgeSocket& listener)
{
    CBridgeSocket* connection = listener.role == ROLE_DATA_LISTENER  ? &dataConnection
                                : listener.role == ROLE_CFG_LISTENER ? &configConnection
                                                                     : nullptr;
    if (connection) {
        // A newcomer takes over: the current client is cut off without a word.
        if (connection->connected) {
            connection->Disconnect();
            if (connection == &configConnection)
                DropPartialRecord();
        }
        connection->owner = this;
        connection->connected = listener.Accept(*connection);
        connection->role = listener.role == ROLE_DATA_LISTENER ? ROLE_DATA_CONNECTION : ROLE_CFG_CONNECTION;
    }
    std::string address;
    UINT boundPort = 0;
    view.ShowStatus(listener.GetSockName(address, boundPort) ? address : std::string());
}

void BridgeEngine::OnSocketClose(CBridgeSocket& socket)
{
    if ((socket.role == ROLE_DATA_CONNECTION || socket.role == ROLE_CFG_CONNECTION) && socket.connected) {
        socket.Disconnect();
        // The data client's bytes already received still go to the line; an unfinished record
        // of a configuration client would shift every record of the next one.
        if (socket.role == ROLE_CFG_CONNECTION)
            DropPartialRecord();
    }
    view.ShowStatus(NO_CONNECTION_TEXT);
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
    // The client's bytes are taken only when a serial worker is there to carry them and the
    // previous chunk has left; until then they stay in TCP, which holds the client back, and
    // the receive is retried when the worker frees the way.
    if (!dataConnection.connected || !line.Running() || !clientChunk.IsFree()) {
        dataConnection.receiveWaiting = true;
        return;
    }
    dataConnection.receiveWaiting = false;
    std::uint8_t chunk[CBridgeSocket::CHUNK_SIZE];
    const int received = dataConnection.Receive(chunk, sizeof chunk);
    if (received <= 0)
        return;  // a failed receive changes nothing and logs nothing
    clientChunk.Offer(chunk, static_cast<std::size_t>(received));
    log.Write(TrafficLogFormat::ClientPrefix(options.listenPort), chunk, static_cast<std::size_t>(received));
    if (options.logToTcp)
        log.CopyToReceiver(chunk, received);
}

void BridgeEngine::ReceiveConfig()
{
    std::uint8_t chunk[CBridgeSocket::CHUNK_SIZE];
    const int received =
        configConnection.Receive(chunk, static_cast<int>(std::min<std::size_t>(sizeof chunk, configRecords.Room())));
    if (received <= 0)
        return;
    configRecords.Append(chunk, static_cast<std::size_t>(received));
    log.Write(TrafficLogFormat::ClientPrefix(options.configPort), chunk, static_cast<std::size_t>(received));
    while (const auto record = configRecords.Next()) {
        // Records have one size whatever their code, so an unknown one is logged and skipped.
        if (record->code == ConfigRecord::CFG_SPEED) {
            log.Write(TrafficLogFormat::SpeedRequest(options.configPort, record->value));
            ChangeLineSpeed(record->value);
        } else {
            log.Write(TrafficLogFormat::UnknownRecord(options.configPort, record->code));
        }
    }
}

void BridgeEngine::ChangeLineSpeed(std::uint32_t rate)
{
    switch (line.ChangeSpeed(rate)) {
    case SerialLine::SpeedChange::STATE_UNREADABLE:
        log.Write(TrafficLogFormat::StateUnreadable(options.configPort));
        break;
    case SerialLine::SpeedChange::SET:
        if (const int shown = SerialEncodings::SpeedIndexAfterRecord(rate); shown >= 0)
            view.ShowSpeed(shown);
        log.Write(TrafficLogFormat::SpeedSet(options.configPort, rate));
        break;
    case SerialLine::SpeedChange::REFUSED:
        log.Write(TrafficLogFormat::SpeedRefused(options.configPort, rate));
        break;
    case SerialLine::SpeedChange::UNCHANGED:
        break;
    }
}

LRESULT BridgeEngine::OnResumeReceive()
{
    if (dataConnection.receiveWaiting && dataConnection.connected)
        ReceiveData();
    return 0;
}

LRESULT BridgeEngine::OnExchangeData()
{
    // Whatever happens below, the worker's next chunk starts at the front of the buffer.
    struct Taken {
        SerialLine& line;
        ~Taken() { line.ExchangeTaken(); }
    } taken{line};
    const auto bytes = line.ExchangeBytes();
    log.WriteExchange(bytes.data(), bytes.size());
    if (dataConnection.connected) {
        std::size_t offset = 0;
        while (offset < bytes.size()) {
            const int sent = dataConnection.Send(bytes.data() + offset, static_cast<int>(bytes.size() - offset), 0);
            if (sent == SOCKET_ERROR || sent <= 0)
                break;  // the rest of this chunk is dropped
            offset += static_cast<std::size_t>(sent);
        }
    }
    return 0;
}
