// The bridge itself: starts and stops its parts (listeners, relay, configuration channel, line watch) on its own host window.
#include "BridgeEngine.h"

#include <cstdio>

#include "../../framework/CFileException.h"
#include "../core/ConnectionTraceFormat.h"
#include "BridgeMessages.h"

BridgeEngine::BridgeEngine(IEngineEvents& events) : report(events, host)
{
    host.onMessage = [this](UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
        return OnHostMessage(message, wParam, result);
    };
    host.onHandlerFailure = [this](const std::string& text) { report.Failure(text); };
    // Called on whichever thread wrote, under the log's lock: only hand the text on.
    log.onFileFailure = [this](const CFileException& failure) {
        trace.Write(ConnectionTraceFormat::LogFileFailed(failure.fileName, failure.systemError));
        report.FailureLater(FailureKind::LOG_FILE, failure.what());
    };
    trace.onFailure = [this](const std::string& text) { report.FailureLater(FailureKind::TRACE_FILE, text); };
    comPort.queueToLine = [this](const LineCommand& change) { return QueueToLine(change); };
    config.queueToLine = comPort.queueToLine;
}

bool BridgeEngine::OnHostMessage(UINT message, WPARAM wParam, LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_RESUME_RECEIVE:
        relay.OnResume();
        return true;
    case WM_LINE_RESULT:
        OnLineResult();
        return true;
    case WM_LOG_FAILURE:
        report.OnLogFailure();
        return true;
    case WM_LINE_LOST:
        watch.OnLineLost(static_cast<DWORD>(wParam), listening);
        relay.OnResume();  // a client that closed while waiting for the line need wait no more
        return true;
    case WM_CLIENT_BEHIND:
        relay.OnClientBehind();
        return true;
    case WM_TIMER:
        if (wParam == LINE_RETRY_TIMER)
            watch.Retry();
        else if (wParam == MODEM_TIMER)
            comPort.SendModemState();
        else if (wParam == REFUSAL_TIMER)
            gate.WriteRefusalCounts();
        return true;
    case WM_DEVICECHANGE:
        watch.OnDeviceChange(wParam, listening);
        result = TRUE;  // nothing here objects to a device's removal
        return true;
    default:
        return false;
    }
}

void BridgeEngine::OpenTrace()
{
    if (options.traceFileName.empty())
        return;
    try {
        trace.Open(options.traceFileName);
    } catch (const CFileException& failure) {
        // The trace is a record beside the relay, never a reason to refuse it.
        report.FailureLater(FailureKind::TRACE_FILE, failure.what());
    }
}

std::optional<ListenCheck::Failure> BridgeEngine::Start(const BridgeOptions& startOptions)
{
    options = startOptions;
    report.Restart();
    if (auto failure = gate.Open(options))
        return failure;
    listening = true;
    OpenTrace();
    trace.Write(ConnectionTraceFormat::Listen(options.listenAddress, options.listenPort,
                                              options.configPortEnabled ? options.configPort : 0, options.rfc2217Port));
    report.StageReached(ListenStage::LISTENING);
    if (options.logToTcp) {
        log.ConnectReceiver(options.logAddress, options.logPort);
        report.StageReached(ListenStage::LOG_RECEIVER_LINKED);
    }
    if (options.logToFile) {
        log.OpenFile(options.logFileName);
        report.StageReached(ListenStage::LOG_FILE_OPEN);
    }
    if (LineWatch::HasLine(options))
        OpenSerialPort(options.comPort);
    return std::nullopt;
}

void BridgeEngine::Stop()
{
    Shutdown();
    listening = false;
    gate.CloseConfig();
    config.Clear();
}

void BridgeEngine::Shutdown()
{
    line.Stop();
    watch.Stop();
    // Bytes still waiting for the line belong to a session that has ended: the next Listen,
    // perhaps hours later and on another port or speed, must not write them.
    clientChunk.Discard();
    log.CloseFile();
    log.CloseReceiver();
    gate.CloseData();
    trace.Write(ConnectionTraceFormat::Stop());
    trace.Close();
}

void BridgeEngine::OpenSerialPort(int portNumber)
{
    report.StageReached(ListenStage::LINE_OPENING);
    const bool opened = line.Open(portNumber);
    const DWORD openError = line.OpenError();
    // Told and left: the line starts all the same, and the face shows them as it can.
    if (!opened)
        report.Failure(FailureKind::SERIAL_PORT, "Handle Error COM1");
    if (!line.Configure(options.serial)) {
        char text[64];
        std::snprintf(text, sizeof text, "Błąd ustawień COM%d", portNumber);
        report.Failure(FailureKind::SERIAL_SETTINGS, text);
    }
    line.Start(host.Window());
    // A port that is not there yet is waited for as one that went away: plugging it in is enough.
    if (!opened)
        watch.Gone(openError);
    // A client that sent meanwhile is read now that a line can carry it.
    relay.OnResume();
}

void BridgeEngine::OnLineResult()
{
    for (const LineResult& result : line.TakeResults())
        ShowLineResult(result);
    // Records and com-port commands that waited for room in the line's queue go on.
    config.GoOn();
    relay.OnResume();
}

bool BridgeEngine::QueueToLine(const LineCommand& change)
{
    // Without a COM port no worker will ever apply it: it is answered at once, as a line whose
    // state cannot be read, so that nothing waits for it.
    if (!LineWatch::HasLine(options)) {
        ShowLineResult(LineResult{change, LineResult::Outcome::STATE_UNREADABLE});
        return true;
    }
    return line.Queue(change);
}

void BridgeEngine::ShowLineResult(const LineResult& result)
{
    if (result.command.kind == LineCommand::Kind::COM_PORT)
        comPort.OnResult(result);
    else
        config.OnResult(result);
}
