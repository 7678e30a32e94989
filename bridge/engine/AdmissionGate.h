// The bridge's listeners and its two connections: who is let in, who is taken over, and how a client's close is drained.
#pragma once
#include <optional>
#include <string_view>

#include "../core/BridgeOptions.h"
#include "../core/ClientAdmission.h"
#include "../core/ConnectionTraceFormat.h"
#include "../core/ListenCheck.h"
#include "CBridgeSocket.h"
#include "ConnectionTrace.h"
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
                  ConfigChannel& configChannel, ComPortClient& comPortClient)
        : line(serialLine), trace(connectionTrace), report(engineReport), relay(dataRelay), config(configChannel),
          comPort(comPortClient)
    {
    }

    // The listeners of the options, with their access rules (parsed before Listen). A listener
    // that could not be made comes back as the field of its port and the box's text; nothing is
    // left open then.
    std::optional<ListenCheck::Failure> Open(const BridgeOptions& options);
    // The data side ends: its client and its listeners.
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

private:
    void OnSocketAccept(CBridgeSocket& listener) override;
    void OnSocketReceive(CBridgeSocket& socket) override;
    void OnSocketClose(CBridgeSocket& socket) override;
    void OnSocketSend(CBridgeSocket& socket) override;

    void Admit(CBridgeSocket& connection, bool comPortClient, ConnectionTraceFormat::Channel channel, SOCKET newcomer,
               const sockaddr_in& peer);
    void DropClient(CBridgeSocket& socket, bool reset = false);

    SerialLine& line;
    ConnectionTrace& trace;
    EngineReport& report;
    DataRelay& relay;
    ConfigChannel& config;
    ComPortClient& comPort;

    ClientAdmission admission;
    CBridgeSocket dataListener;
    CBridgeSocket dataConnection;
    CBridgeSocket configListener;
    CBridgeSocket configConnection;
    CBridgeSocket comPortListener;
};
