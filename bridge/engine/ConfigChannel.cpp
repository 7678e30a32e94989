// The configuration channel: speed records read from its client as fast as the line applies them, and what came of them.
#include "ConfigChannel.h"

#include <algorithm>

#include "../core/ConnectionTraceFormat.h"
#include "../core/TrafficLogFormat.h"
#include "AdmissionGate.h"

void ConfigChannel::Receive()
{
    // Records are read only as fast as the line applies them: while its queue of changes is
    // full, the client's bytes wait in TCP, as the data client's do.
    CBridgeSocket& connection = gate.ConfigConnection();
    while (connection.connected) {
        QueueRecords();
        if (line.QueueFull()) {
            connection.receiveWaiting = true;
            return;
        }
        connection.receiveWaiting = false;
        std::uint8_t chunk[CBridgeSocket::CHUNK_SIZE];
        const int received =
            connection.Receive(chunk, static_cast<int>(std::min<std::size_t>(sizeof chunk, records.Room())));
        if (gate.Drained(connection, received) || received <= 0)
            return;
        records.Append(chunk, static_cast<std::size_t>(received));
        log.Write(TrafficLogFormat::ClientPrefix(options.configPort), chunk, static_cast<std::size_t>(received));
        if (!connection.closing) {
            QueueRecords();
            return;
        }
    }
}

void ConfigChannel::GoOn()
{
    const CBridgeSocket& connection = gate.ConfigConnection();
    if (connection.connected)
        connection.receiveWaiting ? Receive() : QueueRecords();
}

void ConfigChannel::QueueRecords()
{
    const CBridgeSocket& connection = gate.ConfigConnection();
    while (!line.QueueFull()) {
        const auto record = records.Next();
        if (!record)
            return;
        // Records have one size whatever their code, so an unknown one is logged and skipped.
        if (record->code == ConfigRecord::CFG_SPEED) {
            log.Write(TrafficLogFormat::SpeedRequest(options.configPort, record->value));
            queueToLine(LineCommand{LineCommand::Kind::SET_SPEED, record->value, connection.peerAddress,
                                    connection.peerPort, {}});
        } else {
            log.Write(TrafficLogFormat::UnknownRecord(options.configPort, record->code));
        }
    }
}

void ConfigChannel::DropPartialRecord()
{
    if (records.Pending() == 0)
        return;
    log.Write(TrafficLogFormat::PartialRecordDropped(options.configPort, records.Pending()));
    records.Clear();
}

void ConfigChannel::OnResult(const LineResult& result)
{
    const std::uint32_t rate = result.command.value;
    switch (result.outcome) {
    case LineResult::Outcome::STATE_UNREADABLE:
        log.Write(TrafficLogFormat::StateUnreadable(options.configPort));
        break;
    case LineResult::Outcome::SET:
        report.RateSet(rate, RateCause::SPEED_RECORD);
        log.Write(TrafficLogFormat::SpeedSet(options.configPort, rate));
        trace.Write(ConnectionTraceFormat::SpeedSet(result.command.requesterAddress, result.command.requesterPort, rate));
        break;
    case LineResult::Outcome::REFUSED:
        log.Write(TrafficLogFormat::SpeedRefused(options.configPort, rate));
        trace.Write(ConnectionTraceFormat::SpeedRefused(result.command.requesterAddress, result.command.requesterPort, rate));
        break;
    case LineResult::Outcome::UNCHANGED:
        break;
    }
}
