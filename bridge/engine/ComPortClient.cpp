// A data client that speaks the com-port protocol: its session, its commands in order with its data, the modem lines.
#include "ComPortClient.h"

#include <algorithm>

#include "BridgeMessages.h"
#include "ClientChunk.h"
#include "DataRelay.h"
#include "version.h"

namespace {
constexpr UINT MODEM_POLL_MS = 100;  // how soon a com-port client hears of a modem line's change
}

void ComPortClient::Welcome(bool comPortClient)
{
    ++clientNumber;
    if (comPortClient) {
        session = std::make_unique<Rfc2217Session>("Vextor " SUITE_VERSION_TEXT);
        line.SendToClient(session->Opening());
    }
}

void ComPortClient::Farewell()
{
    if (session)
        host.KillTimer(MODEM_TIMER);
    session.reset();
    forTheLine.clear();
}

void ComPortClient::Take(const std::uint8_t* bytes, std::size_t length, DataRelay& relay)
{
    Rfc2217Session::Output out;
    session->Feed(bytes, length, out);
    if (!out.client.empty())
        line.SendToClient(out.client);
    if (out.comPortAgreed) {
        SendModemState();
        host.SetTimer(MODEM_TIMER, MODEM_POLL_MS);
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
    PassToLine(relay);
}

bool ComPortClient::PassToLine(DataRelay& relay)
{
    while (!forTheLine.empty()) {
        ForTheLine& next = forTheLine.front();
        if (!relay.LineFree())
            return false;
        if (next.isCommand) {
            const std::uint8_t code = next.command.code;
            if (code == Rfc2217Command::FLOWCONTROL_SUSPEND || code == Rfc2217Command::FLOWCONTROL_RESUME) {
                line.SuspendClientOutput(code == Rfc2217Command::FLOWCONTROL_SUSPEND);
            } else {
                const CBridgeSocket& asker = relay.Connection();
                LineCommand change{LineCommand::Kind::COM_PORT, clientNumber, asker.peerAddress, asker.peerPort,
                                   next.command};
                if (!queueToLine(change))
                    return false;  // the line's queue is full: on with it when a result comes
            }
            forTheLine.pop_front();
            continue;
        }
        const std::size_t length = std::min<std::size_t>(next.data.size(), ClientChunk::MAX_CHUNK);
        relay.Offer(reinterpret_cast<const std::uint8_t*>(next.data.data()), length);
        next.data.erase(0, length);
        if (next.data.empty())
            forTheLine.pop_front();
    }
    return true;
}

bool ComPortClient::AnswersFlowing()
{
    if (!session || !line.AnswersBacklogged())
        return true;
    // Asked before the second look: answers that went meanwhile still bring the message, harmlessly.
    line.WantAnswersSent();
    return !line.AnswersBacklogged();
}

std::size_t ComPortClient::WaitingBytes() const
{
    std::size_t bytes = 0;
    for (const ForTheLine& next : forTheLine)
        bytes += next.data.size();
    return bytes;
}

void ComPortClient::SendModemState()
{
    if (!session)
        return;
    // A line that cannot tell its modem lines (a pseudo-terminal, say) has none that are on.
    DWORD lines = 0;
    if (!line.ModemStatus(lines))
        lines = 0;
    // The line's errors and data ready go the same way, as the client's mask selects them.
    const std::string notification =
        session->ModemState(static_cast<std::uint8_t>(lines & 0xF0)) + session->LineState(line.LineState());
    if (!notification.empty())
        line.SendToClient(notification);
}

void ComPortClient::OnResult(const LineResult& result)
{
    const Rfc2217Command& asked = result.command.comPort;
    if (session && result.command.value == clientNumber)
        line.SendToClient(Rfc2217Session::Reply(asked, result.valueInForce));
    if (asked.value == 0 || result.outcome == LineResult::Outcome::STATE_UNREADABLE)
        return;
    if (asked.code == Rfc2217Command::SET_BAUDRATE)
        report.RateSet(result.baudRate, RateCause::COM_PORT_CLIENT);
    else if (asked.code == Rfc2217Command::SET_PARITY)
        report.ParitySet(result.parity);
    else if (asked.code == Rfc2217Command::SET_STOPSIZE)
        report.StopBitsSet(result.stopBits);
}
