// The data client's bytes on their way to the line: taken only as fast as the line carries them, logged first.
#pragma once
#include <cstddef>
#include <cstdint>

#include "../core/BridgeOptions.h"
#include "CBridgeSocket.h"
#include "ClientChunk.h"
#include "EngineHost.h"
#include "SerialLine.h"
#include "TrafficLog.h"

class AdmissionGate;
class ComPortClient;

// Engine thread only; the serial worker carries each chunk on and relays the exchange's bytes itself.
class DataRelay {
public:
    DataRelay(AdmissionGate& admissionGate, ComPortClient& comPortClient, SerialLine& serialLine, ClientChunk& clientChunk, TrafficLog& trafficLog,
              EngineHost& engineHost, const BridgeOptions& bridgeOptions)
        : gate(admissionGate), comPort(comPortClient), line(serialLine), chunk(clientChunk), log(trafficLog),
          host(engineHost), options(bridgeOptions)
    {
    }

    const CBridgeSocket& Connection() const;
    // The client's bytes are there (or it closed): as many as the line can take now are taken.
    void Receive();
    // WM_RESUME_RECEIVE: the chunk has left; a receive that waited for it goes on.
    void OnResume();
    // WM_CLIENT_BEHIND: the line let the client go for not reading; its connection closes, traced.
    void OnClientBehind();
    // One chunk for the line, logged (and copied to the log receiver) before the line can carry it.
    void Offer(const std::uint8_t* bytes, std::size_t length);
    // The line takes a chunk now; when not, the worker will say when it does.
    bool LineFree();

private:
    AdmissionGate& gate;
    ComPortClient& comPort;
    SerialLine& line;
    ClientChunk& chunk;
    TrafficLog& log;
    EngineHost& host;
    const BridgeOptions& options;
};
