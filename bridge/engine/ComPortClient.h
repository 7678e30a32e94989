// A data client that speaks the com-port protocol: its session, its commands in order with its data, the modem lines.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "../core/LineCommand.h"
#include "../core/Rfc2217Session.h"
#include "EngineHost.h"
#include "EngineReport.h"
#include "SerialLine.h"

class DataRelay;

// Engine thread only.
class ComPortClient {
public:
    ComPortClient(SerialLine& serialLine, EngineHost& engineHost, EngineReport& engineReport)
        : line(serialLine), host(engineHost), report(engineReport)
    {
    }

    // To the line's queue of changes; false while it is full. Set by the engine before Listen.
    std::function<bool(const LineCommand&)> queueToLine;

    // A data client came; one of the com-port port gets a session, which greets it.
    void Welcome(bool comPortClient);
    // The data client went: its session and what it sent beyond the chunk on its way go with it.
    void Farewell();
    bool Active() const { return session != nullptr; }
    // What the client sent: protocol answers go back, data and commands wait for the line.
    void Take(const std::uint8_t* bytes, std::size_t length, DataRelay& relay);
    // Passes on what waits, in the order the client sent it: data a chunk at a time, and a
    // command once the data before it is on the line. True when nothing waits any more.
    bool PassToLine(DataRelay& relay);
    bool Waiting() const { return !forTheLine.empty(); }
    // The client's data bytes that wait for the line beyond the chunk on its way.
    std::size_t WaitingBytes() const;
    // The client's answers are few enough that it may be read on; when not, the line says when
    // they are (WM_RESUME_RECEIVE). A client that never reads them is thus held back by TCP,
    // however much it asks.
    bool AnswersFlowing();
    // The modem timer: the modem lines' and the line's state, when they changed, to the client.
    void SendModemState();
    // A com-port command was applied: the answer goes to the client that asked, if it is still
    // there; the face follows the line.
    void OnResult(const LineResult& result);

private:
    // Data and line commands in the order the client sent them.
    struct ForTheLine {
        std::string data;
        bool isCommand = false;
        Rfc2217Command command;
    };

    SerialLine& line;
    EngineHost& host;
    EngineReport& report;
    std::unique_ptr<Rfc2217Session> session;
    std::deque<ForTheLine> forTheLine;
    std::uint32_t clientNumber = 0;  // counts data clients, so that an answer finds only its own asker
};
