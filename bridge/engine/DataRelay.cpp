// The data client's bytes on their way to the line: taken only as fast as the line carries them, logged first.
#include "DataRelay.h"

#include <cstdio>

#include "../core/TrafficLogFormat.h"
#include "AdmissionGate.h"
#include "BridgeMessages.h"
#include "ComPortClient.h"
#include "LineWatch.h"

const CBridgeSocket& DataRelay::Connection() const
{
    return gate.DataConnection();
}

void DataRelay::Receive()
{
    // The client's bytes are taken only when a serial worker is there to carry them and what
    // came before has left; until then they stay in TCP, which holds the client back, and the
    // receive is retried when the worker frees the way.
    CBridgeSocket& connection = gate.DataConnection();
    if (!connection.connected)
        return;
    // Without a COM port, or while it is gone, nothing may ever carry them: a client that closes
    // is let go at once, and what it sent that the line never took is discarded. A chunk already
    // on its way was logged as sent: it still waits for the port.
    if (connection.closing && (!LineWatch::HasLine(options) || line.Lost())) {
        gate.EndWithoutLine(connection, comPort.WaitingBytes());
        return;
    }
    if (!line.Running() || !comPort.PassToLine(*this) || !LineFree()) {
        connection.receiveWaiting = true;
        return;
    }
    if (!comPort.AnswersFlowing()) {
        // A client that has closed and reads none of its answers would hold the line for ever.
        if (connection.closing)
            gate.EndConnection(connection, true);
        else
            connection.receiveWaiting = true;
        return;
    }
    connection.receiveWaiting = false;
    std::uint8_t bytes[CBridgeSocket::CHUNK_SIZE];
    const int received = connection.Receive(bytes, sizeof bytes);
    if (gate.Drained(connection, received) || received <= 0)
        return;  // a receive that got nothing changes nothing and logs nothing
    if (comPort.Active())
        comPort.Take(bytes, static_cast<std::size_t>(received), *this);
    else
        Offer(bytes, static_cast<std::size_t>(received));
    // No more receive notifications come after a close: the drain goes on as the line frees the
    // way, at once when the worker has taken the chunk already.
    connection.receiveWaiting = connection.closing || comPort.Waiting();
    if (connection.receiveWaiting && LineFree())
        host.Post(WM_RESUME_RECEIVE);
}

void DataRelay::OnResume()
{
    const CBridgeSocket& connection = gate.DataConnection();
    if (connection.receiveWaiting && connection.connected)
        Receive();
}

void DataRelay::OnClientBehind()
{
    // A notice about a client that has gone since (or was taken over) finds another one here.
    CBridgeSocket& connection = gate.DataConnection();
    if (!connection.connected || !line.ClientLetGo())
        return;
    char why[64];
    std::snprintf(why, sizeof why, "not reading, %u MiB waiting", static_cast<unsigned>(SerialLine::OUTPUT_CAPACITY >> 20));
    gate.EndConnection(connection, false, why);
}

void DataRelay::Offer(const std::uint8_t* bytes, std::size_t length)
{
    // The entry is in the file before the line can carry the bytes, so that the exchange's
    // answer is never logged ahead of the request that caused it.
    const int port = comPort.Active() ? options.rfc2217Port : options.listenPort;
    log.Write(TrafficLogFormat::ClientPrefix(port), bytes, length);
    chunk.Offer(bytes, length);
    if (options.logToTcp)
        log.CopyToReceiver(bytes, static_cast<int>(length));
}

bool DataRelay::LineFree()
{
    // The worker says when the chunk has left only to a receive that waits for it, so that a
    // client whose every chunk finds the way free never wakes this thread twice. Asked before the
    // second look: a chunk released in between still brings the message, harmlessly.
    if (chunk.IsFree())
        return true;
    line.WantResume();
    return chunk.IsFree();
}
