// The service manager's side of `vextor.exe --service`: the dispatcher, ServiceMain, the status reports and the control handler.
#pragma once
#include "../../framework/Afx.h"

#include <winsvc.h>

// Only the service manager's boilerplate: the run itself is ServiceRun's, on ServiceMain's thread.
// The control handler runs on the process's main thread (the dispatcher's); it reports
// STOP_PENDING and sets the stop event, which the service's thread waits on with its messages.
class ServiceEntry {
public:
    // Blocks while the service runs; 0 when it ran, else the system's error: 1063
    // (ERROR_FAILED_SERVICE_CONTROLLER_CONNECT) when the program was not started by the service manager.
    static DWORD Dispatch();

private:
    static void WINAPI ServiceMain(DWORD argc, LPWSTR* argv);
    static DWORD WINAPI Control(DWORD control, DWORD eventType, LPVOID eventData, LPVOID context);
    // A pending state counts its checkpoint up; STOPPED carries the exit codes that decide
    // whether the service manager's failure actions fire.
    static void Report(DWORD state, DWORD win32ExitCode = NO_ERROR, DWORD serviceExitCode = 0);
};
