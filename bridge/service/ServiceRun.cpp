// The service's run: the engine with the machine's settings and no window of the panel, on ServiceMain's thread.
#include "ServiceRun.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>

#include "../../framework/AfxSocket.h"
#include "../../framework/CAsyncSocket.h"
#include "../core/ComPortList.h"
#include "../core/ListenCheck.h"
#include "../engine/BridgeEngine.h"
#include "../engine/LocalAddresses.h"
#include "DataFolder.h"
#include "MachineSettingsKey.h"

namespace {
// A listener that could not be made (its address not up yet at boot, its port taken) is tried again so often.
constexpr UINT LISTEN_RETRY_MS = 5000;

// The data folder in the ANSI code page the engine's file names are in; empty when the system names none.
std::string DataFolderName()
{
    const std::wstring path = DataFolder::Path();
    const int size = ::WideCharToMultiByte(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), nullptr, 0, nullptr, nullptr);
    std::string name(static_cast<size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_ACP, 0, path.c_str(), static_cast<int>(path.size()), name.data(), size, nullptr, nullptr);
    return name;
}

std::string Describe(const BridgeOptions& options)
{
    std::string text = "port " + std::to_string(options.listenPort);
    if (options.configPortEnabled)
        text += ", konfiguracja " + std::to_string(options.configPort);
    if (options.rfc2217Port != 0)
        text += ", RFC 2217 " + std::to_string(options.rfc2217Port);
    if (LineWatch::HasLine(options))
        text += ", " + ComPortList::Name(options.comPort);
    return text;
}

// Local time as the panel shows a failure's moment.
std::string LocalTimeText()
{
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour,
                  now.wMinute, now.wSecond);
    return text;
}
}

ServiceRun::ServiceRun(HANDLE stopEvent, HANDLE settingsEvent)
    : stop(stopEvent), settings(settingsEvent), pipe(::GetCurrentThreadId()),
      board(writer, [this](const ServiceStatus& status) { pipe.Publish(status); }, LocalTimeText)
{
}

ServiceRun::Exit ServiceRun::Run(const std::function<void()>& running)
{
    // The socket layer is the process's; the run's sockets are all gone before it is released.
    if (!AfxSocketInit()) {
        events.Failed(ServiceEventLog::Failure::SOCKETS, "Błąd inicjacji soketu.");
        return {ERROR_SERVICE_SPECIFIC_ERROR, ServiceEventLog::FailureId(ServiceEventLog::Failure::SOCKETS)};
    }
    Exit exit{NO_ERROR, 0};
    try {
        exit = Serve(running);
    } catch (const std::exception& e) {
        events.Failed(ServiceEventLog::Failure::UNEXPECTED, e.what());
        exit = {ERROR_SERVICE_SPECIFIC_ERROR, ServiceEventLog::FailureId(ServiceEventLog::Failure::UNEXPECTED)};
    }
    CAsyncSocket::SetFailureHook(nullptr);
    AfxSocketTerm();  // on this thread, whose sockets' window it ends
    return exit;
}

ServiceRun::Exit ServiceRun::Serve(const std::function<void()>& running)
{
    options = MachineSettingsKey::Store().Load().ToOptions(DataFolderName());
    view.SetPortName(ComPortList::Name(options.comPort));
    // A socket handler that throws is abandoned, as in the panel, and written down instead of shown.
    CAsyncSocket::SetFailureHook([this](const std::exception& e) { view.Failure(FailureKind::OTHER, e.what()); });

    BridgeEngine bridge(view);
    engine = &bridge;
    // Its thread posts to this one, whose queue the engine's host window has made by now.
    if (pipe.Start())
        pipe.Publish(board.Current());
    running();
    events.Started(Describe(options));
    if (SettingsHold())
        Listen();

    const bool served = ServeUntilStopped();
    RetryLater(false);
    view.Stopping(true);
    if (bridge.Listening())
        bridge.Stop();
    // The panels see the pipe break, and ask the service manager what became of the service.
    pipe.Stop();
    engine = nullptr;
    events.Stopped(served ? "zatrzymana przez menedżer usług" : "błąd oczekiwania na komunikaty");
    if (!served)
        return {ERROR_SERVICE_SPECIFIC_ERROR, ServiceEventLog::FailureId(ServiceEventLog::Failure::UNEXPECTED)};
    return {NO_ERROR, 0};
}

// Settings that make no sense would fail the same way after any restart: the service stays up
// and idle, and says why, until they are mended and applied.
bool ServiceRun::SettingsHold()
{
    if (auto failure = ListenCheck::Check(options, LocalAddresses::Ipv4())) {
        events.Failed(ServiceEventLog::Failure::SETTINGS, failure->message);
        return false;
    }
    events.Recovered(ServiceEventLog::Failure::SETTINGS, Describe(options));
    return true;
}

void ServiceRun::ApplySettings()
{
    RetryLater(false);
    if (engine->Listening()) {
        view.Stopping(true);  // the line's loss taken back here is no recovery either
        engine->Stop();
        view.Stopping(false);
    }
    board.Idle();
    options = MachineSettingsKey::Store().Load().ToOptions(DataFolderName());
    view.SetPortName(ComPortList::Name(options.comPort));
    if (SettingsHold())
        Listen();
}

void ServiceRun::Listen()
{
    std::optional<ListenCheck::Failure> failure;
    // Before the engine starts, so that what it reports while starting (a COM port that is not
    // there) comes after the listeners' ports and the line's first settings.
    board.Listening(options, EngineReport::NO_CLIENT_TEXT);
    try {
        failure = engine->Start(options);
    } catch (const std::exception& e) {
        // The log file could not be made. Serving without the log that was asked for would lose
        // the exchange's traffic unnoticed, and trying again every few seconds would only fill the
        // trace with listens and stops: the service stays idle until someone mends it and applies the
        // settings or restarts it.
        engine->Stop();
        board.Idle();
        RetryLater(false);
        view.Failure(FailureKind::LOG_FILE, e.what());
        return;
    }
    if (failure) {
        board.Idle();
        events.Failed(ServiceEventLog::Failure::LISTENER, failure->message);
        RetryLater(true);
        return;
    }
    RetryLater(false);
    events.Recovered(ServiceEventLog::Failure::LISTENER, "nasłuch na porcie " + std::to_string(options.listenPort));
}

void ServiceRun::RetryLater(bool retry)
{
    if (retry && !retryTimer)
        retryTimer = ::SetTimer(nullptr, 0, LISTEN_RETRY_MS, nullptr);
    if (!retry && retryTimer) {
        ::KillTimer(nullptr, retryTimer);
        retryTimer = 0;
    }
}

bool ServiceRun::ServeUntilStopped()
{
    for (;;) {
        const HANDLE waits[] = {stop, settings};
        const DWORD woken = ::MsgWaitForMultipleObjectsEx(2, waits, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (woken == WAIT_OBJECT_0)
            return true;
        if (woken == WAIT_OBJECT_0 + 1) {
            ApplySettings();
            continue;
        }
        if (woken != WAIT_OBJECT_0 + 2)
            return false;
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            // The thread's own timer comes without a window.
            if (!message.hwnd && message.message == WM_TIMER && retryTimer && message.wParam == retryTimer)
                Listen();
            else if (!message.hwnd && message.message == StatusPipeServer::WM_STATUS_PIPE)
                OnStatusPipe(static_cast<DWORD>(message.wParam));
            else
                ::DispatchMessageA(&message);
        }
    }
}

void ServiceRun::OnStatusPipe(DWORD error)
{
    const std::wstring pipeName = StatusPipeServer::PIPE_NAME;
    const std::string name(pipeName.begin(), pipeName.end());  // ASCII
    if (!error) {
        events.Recovered(ServiceEventLog::Failure::STATUS_PIPE, name);
        return;
    }
    const std::string why = error == ERROR_ACCESS_DENIED || error == ERROR_PIPE_BUSY
                                ? "nazwę " + name + " zajął inny program"
                                : "nie można utworzyć " + name;
    events.Failed(ServiceEventLog::Failure::STATUS_PIPE, why + " (błąd systemu " + std::to_string(error) + ").");
}
