// The service's run: the engine with the machine's settings and no window of the panel, on ServiceMain's thread.
#pragma once
#include "../../framework/Afx.h"

#include <functional>

#include "../core/BridgeOptions.h"
#include "../core/ServiceEventLog.h"
#include "../core/ServiceStatusBoard.h"
#include "ServiceEngineView.h"
#include "ServiceEventWriter.h"
#include "StatusPipeServer.h"

class BridgeEngine;

// Everything here runs on the thread that calls Run, which creates the engine and serves its
// host window and sockets: the control handler only sets the stop or the settings event. Failures never hold
// the service back: a listener that cannot be made is tried again every 5 s, a COM port that
// is not there is waited for by the engine, and settings that make no sense (or a log file
// that cannot be made) leave the service running and idle. Each of them is written to the event log once, as a change of state.
class ServiceRun {
public:
    // What the service reports at STOPPED: non-zero when the run failed, so that the service
    // manager's failure actions restart it.
    struct Exit {
        DWORD win32ExitCode;
        DWORD serviceExitCode;
    };

    // `settingsEvent` is set when the machine's settings changed (PARAMCHANGE).
    ServiceRun(HANDLE stopEvent, HANDLE settingsEvent);
    ServiceRun(const ServiceRun&) = delete;
    ServiceRun& operator=(const ServiceRun&) = delete;

    // Until the stop event is set; `running` is called once the engine's host is up.
    Exit Run(const std::function<void()>& running);

private:
    Exit Serve(const std::function<void()>& running);
    // Starts the engine, or writes why not and tries again later.
    void Listen();
    // The settings are read again and applied as a Stop then a Listen would; the client is dropped.
    void ApplySettings();
    // Settings that make no sense leave the service idle, and say why; true when they may be tried.
    bool SettingsHold();
    void RetryLater(bool retry);
    // Serves the thread's messages until the stop event is set; false when the wait failed.
    bool ServeUntilStopped();
    // The status pipe's thread says whether the pipe's name is ours.
    void OnStatusPipe(DWORD error);

    HANDLE stop;      // not owned
    HANDLE settings;  // not owned
    ServiceEventWriter writer;
    StatusPipeServer pipe;
    // Between the event log and its writer: every failure written is also the panel's to show.
    ServiceStatusBoard board;
    ServiceEventLog events{board};
    ServiceEngineView view{events, board};
    BridgeOptions options;
    BridgeEngine* engine = nullptr;  // while Serve runs
    UINT_PTR retryTimer = 0;         // the thread's timer while a Listen waits to be tried again
};
