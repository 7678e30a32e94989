// The bridge's listeners and its two connections: who is let in, who is taken over, and how a client's close is drained.
#pragma once
#include <optional>
#include <string_view>
#include <vector>

#include "../core/BridgeOptions.h"
#include "../core/ClientAdmission.h"
#include "../core/ConnectionTraceFormat.h"
#include "../core/ListenCheck.h"
#include "../core/RefusalTally.h"
#include "CBridgeSocket.h"
#include "ConnectionTrace.h"
#include "EngineHost.h"
#include "EngineReport.h"
#include "SerialLine.h"

class ComPortClient;
class ConfigChannel;
class DataRelay;

// Engine thread only. One data client (raw or com-port) and one configuration client at a time.
class AdmissionGate : private IBridgeSocketOwner {
public:
    // The relay, the channel and the com-port glue are handed the connections' bytes and ends.
    AdmissionGate(SerialLine& serialLine, ConnectionTrace& connectionTrace, EngineReport& engineReport, DataRelay& dataRelay,
                  ConfigChannel& configChannel, ComPortClient& comPortClient, EngineHost& engineHost)
        : line(serialLine), trace(connectionTrace), report(engineReport), relay(dataRelay), config(configChannel),
          comPort(comPortClient), host(engineHost)
    {
    }

    // The listeners of the options, with their access rules (parsed before Listen). A listener
    // that could not be made comes back as the field of its port and the box's text; nothing is
    // left open then.
    std::optional<ListenCheck::Failure> Open(const BridgeOptions& options);
    // The data side ends: its client and its listeners; the refusals of both sides still counted
    // are written, while the trace is open.
    void CloseData();
    // The configuration side ends: its client and its listener.
    void CloseConfig();

    CBridgeSocket& DataConnection() { return dataConnection; }
    CBridgeSocket& ConfigConnection() { return configConnection; }

    // After a receive of `received` bytes (or a failed one): true when the connection was ended
    // now, because its client's bytes came to their end or it failed.
    bool Drained(CBridgeSocket& socket, int received);
    // The client goes, traced (with why, when the bridge let it go); a reset drops what it still sends.
    void EndConnection(CBridgeSocket& socket, bool reset = false, std::string_view why = {});
    // A client that closed while no line carries its bytes goes at once: those of its bytes still
    // unread, and `discarded` more taken already, are dropped and traced.
    void EndWithoutLine(CBridgeSocket& socket, std::uint64_t discarded);
    // REFUSAL_TIMER: the refusals counted in a minute that is over are written.
    void WriteRefusalCounts();

private:
    void OnSocketAccept(CBridgeSocket& listener) override;
    void OnSocketReceive(CBridgeSocket& socket) override;
    void OnSocketClose(CBridgeSocket& socket) override;
    void OnSocketSend(CBridgeSocket& socket) override;

    void Admit(CBridgeSocket& connection, bool comPortClient, ConnectionTraceFormat::Channel channel, SOCKET newcomer,
               const sockaddr_in& peer);
    void DropClient(CBridgeSocket& socket, bool reset = false);
    // The client goes: the status follows a data client.
    void Let(CBridgeSocket& socket, bool reset);
    bool GoneUnnoticed(CBridgeSocket& connection);
    void Refuse(SOCKET newcomer, ConnectionTraceFormat::Channel channel, std::uint32_t address, int port,
                RefusalTally::Reason reason);
    void WriteCounts(const std::vector<RefusalTally::Count>& counts);

    SerialLine& line;
    ConnectionTrace& trace;
    EngineReport& report;
    DataRelay& relay;
    ConfigChannel& config;
    ComPortClient& comPort;
    EngineHost& host;

    ClientAdmission admission;
    RefusalTally refusals;
    bool refusalTimer = false;  // REFUSAL_TIMER runs: some address's minute is open
    CBridgeSocket dataListener;
    CBridgeSocket dataConnection;
    CBridgeSocket configListener;
    CBridgeSocket configConnection;
    CBridgeSocket comPortListener;
};
