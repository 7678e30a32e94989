// The bridge itself: listeners and takeover, the relay between the data client and the line, speed records, the log.
#pragma once
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include <optional>

#include "../core/BridgeOptions.h"
#include "CBridgeSocket.h"
#include "../core/ClientAdmission.h"
#include "ClientChunk.h"
#include "../core/ConfigRecordStream.h"
#include "ConnectionTrace.h"
#include "../core/ConnectionTraceFormat.h"
#include "IBridgeView.h"
#include "../core/ListenCheck.h"
#include "../core/Rfc2217Session.h"
#include "SerialLine.h"
#include "TrafficLog.h"

// Lives on the window thread, which never waits for the serial worker but at Stop; the worker
// relays the exchange's bytes to the data client on its own.
class BridgeEngine : private IBridgeSocketOwner {
public:
    explicit BridgeEngine(IBridgeView& view);
    BridgeEngine(const BridgeEngine&) = delete;
    BridgeEngine& operator=(const BridgeEngine&) = delete;

    // The window that the serial worker's messages go to; they come back through the handlers below.
    void Attach(HWND window) { messageWindow = window; }

    // In this order: the listeners, the connection trace, the listening look, the log link, the
    // log file, the COM port. The options passed Listen's checks. A log file that cannot be made
    // throws, and the COM port then stays closed.
    // A listener that could not be made comes back as the field of its port and the box's text;
    // nothing is left open then.
    std::optional<ListenCheck::Failure> Start(const BridgeOptions& startOptions);
    // Everything back to idle; the configuration records' bytes are kept.
    void Stop();
    // The program ends: the line, the log and the data side; the configuration side closes with the engine.
    void Shutdown();

    bool Listening() const { return listening; }

    // WM_RESUME_RECEIVE: the client's chunk has left for the line.
    LRESULT OnResumeReceive();
    // WM_LINE_RESULT: queued line changes (speed records, com-port commands) were applied.
    LRESULT OnLineResult();
    // WM_LOG_FAILURE: the log file or the trace failed, perhaps on the serial worker.
    LRESULT OnLogFailure();
    // WM_LINE_LOST: the COM port went away; wParam is the system's error.
    LRESULT OnLineLost(WPARAM error);
    // A timer of the window: true when it was the engine's (the lost port's retry, the com-port
    // client's look at the modem lines).
    bool OnTimer(UINT_PTR id);
    static constexpr UINT_PTR MODEM_TIMER = 0x2217;
    // WM_DEVICECHANGE's event: a device came (the lost port is tried at once) or went (the
    // worker checks the port). Other events change nothing.
    void OnDeviceChange(WPARAM event);

private:
    void OnSocketAccept(CBridgeSocket& listener) override;
    void OnSocketReceive(CBridgeSocket& socket) override;
    void OnSocketClose(CBridgeSocket& socket) override;
    void OnSocketSend(CBridgeSocket& socket) override;

    std::optional<ListenCheck::Failure> StartListeners();
    void OpenTrace();
    void ReportLater(const std::string& text);
    void Trace(const std::string& event) { trace.Write(event); }
    void Admit(CBridgeSocket& connection, bool comPort, ConnectionTraceFormat::Channel channel, SOCKET newcomer,
               const sockaddr_in& peer);
    void ReceiveData();
    void TakeFromComPortClient(const std::uint8_t* bytes, std::size_t length);
    bool PassToLine();
    bool LineFree();
    void OfferToLine(const std::uint8_t* bytes, std::size_t length);
    void SendModemState();
    void ReceiveConfig();
    bool Drained(CBridgeSocket& socket, int received);
    void EndConnection(CBridgeSocket& socket, bool reset = false);
    void DropClient(CBridgeSocket& socket, bool reset = false);
    void QueueRecords();
    void DropPartialRecord();
    void OpenSerialPort(int portNumber);
    void LineGone(DWORD error);
    void RetryLine();
    void ShowClient(const std::string& status);
    // A COM port was chosen: without one no line runs, and nothing waits for it.
    bool HasLine() const;
    // To the line's queue; false while it is full.
    bool QueueToLine(const LineCommand& change);
    void ShowLineResult(const LineResult& result);

    // Window thread only.
    IBridgeView& view;
    HWND messageWindow = nullptr;
    BridgeOptions options;
    bool listening = false;
    CBridgeSocket dataListener;
    CBridgeSocket dataConnection;
    CBridgeSocket configListener;
    CBridgeSocket configConnection;
    CBridgeSocket comPortListener;
    ConfigRecordStream configRecords;

    // The data client speaks the com-port protocol: its session, and what it sent that waits for
    // the line, data and line commands in the order it sent them. A command goes to the line only
    // once the data before it has been written.
    struct ForTheLine {
        std::string data;
        bool isCommand = false;
        Rfc2217Command command;
    };
    std::unique_ptr<Rfc2217Session> comPortSession;
    std::deque<ForTheLine> forTheLine;
    std::uint32_t clientNumber = 0;  // counts data clients, so that an answer finds only its own asker
    ClientAdmission admission;
    // While the COM port is gone the status says so; the client's text is shown again when it is back.
    bool lineLost = false;
    std::string clientStatus;

    // Failures on any thread (the log file on the worker, say), handed to the window thread under their own lock.
    std::mutex failureLock;
    std::deque<std::string> failures;

    // Written by the window thread and, for a failing log file, by the worker; it has its own lock.
    ConnectionTrace trace;

    // Shared with the serial worker by their own contracts; all of them outlive the line.
    TrafficLog log;
    ClientChunk clientChunk;
    SerialLine line{clientChunk, log};
};
