// The bridge itself: listeners and takeover, the relay between the data client and the line, speed records, the log.
#pragma once
#include <cstdint>

#include "BridgeOptions.h"
#include "CBridgeSocket.h"
#include "ClientChunk.h"
#include "ConfigRecordStream.h"
#include "IBridgeView.h"
#include "SerialLine.h"
#include "TrafficLog.h"

// Lives on the window thread; only SerialLine's worker runs elsewhere.
class BridgeEngine : private IBridgeSocketOwner {
public:
    explicit BridgeEngine(IBridgeView& view);
    BridgeEngine(const BridgeEngine&) = delete;
    BridgeEngine& operator=(const BridgeEngine&) = delete;

    // The window that the serial worker's messages go to; they come back through the two handlers below.
    void Attach(HWND window) { messageWindow = window; }

    // In this order: the two listeners, the listening look, the log link, the log file, the COM
    // port. A log file that cannot be made throws, and the COM port then stays closed.
    void Start(const BridgeOptions& startOptions);
    // Everything back to idle; the configuration records' bytes are kept.
    void Stop();
    // The program ends: the line, the log and the data side; the configuration side closes with the engine.
    void Shutdown();

    bool Listening() const { return listening; }
    // True while the window thread waits for the serial worker: clicks are not acted on then.
    bool Busy() const { return line.Waiting(); }

    LRESULT OnExchangeData();
    LRESULT OnResumeReceive();

private:
    void OnSocketAccept(CBridgeSocket& listener) override;
    void OnSocketReceive(CBridgeSocket& socket) override;
    void OnSocketClose(CBridgeSocket& socket) override;

    void ReceiveData();
    void ReceiveConfig();
    void DropPartialRecord();
    void OpenSerialPort(int portNumber);
    void ChangeLineSpeed(std::uint32_t rate);

    // Window thread only.
    IBridgeView& view;
    HWND messageWindow = nullptr;
    BridgeOptions options;
    bool listening = false;
    CBridgeSocket dataListener;
    CBridgeSocket dataConnection;
    CBridgeSocket configListener;
    CBridgeSocket configConnection;
    ConfigRecordStream configRecords;
    TrafficLog log;

    // Shared with the serial worker by their own contracts; the chunk outlives the line.
    ClientChunk clientChunk;
    SerialLine line{clientChunk};
};
