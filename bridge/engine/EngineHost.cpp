// The engine's own message-only window: its timers, the serial worker's messages and COM port arrivals.
#include "EngineHost.h"

#include <dbt.h>

#include <exception>

namespace {
constexpr const char* HOST_CLASS = "VextorEngineHost";

// The device interface class of COM ports, as the system's serial drivers register them.
constexpr GUID COM_PORT_INTERFACE = {0x86E0D1E0, 0x8089, 0x11D0, {0x9C, 0xE4, 0x08, 0x00, 0x3E, 0x30, 0x1F, 0x73}};
}

EngineHost::EngineHost()
{
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = AfxCodeModule();
    windowClass.lpszClassName = HOST_CLASS;
    ::RegisterClassA(&windowClass);  // fails harmlessly when an earlier engine registered it
    window = ::CreateWindowExA(0, HOST_CLASS, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance, nullptr);
    if (!window)
        return;
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    filter.dbcc_classguid = COM_PORT_INTERFACE;
    // Without it a lost port is still found again by the retry once a second.
    arrivals = ::RegisterDeviceNotificationA(window, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

EngineHost::~EngineHost()
{
    if (arrivals)
        ::UnregisterDeviceNotification(arrivals);
    if (window) {
        ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        ::DestroyWindow(window);
    }
}

bool EngineHost::Post(UINT message, WPARAM wParam) const
{
    return ::PostMessageA(window, message, wParam, 0) != FALSE;
}

void EngineHost::SetTimer(UINT_PTR id, UINT elapseMs) const
{
    ::SetTimer(window, id, elapseMs, nullptr);
}

void EngineHost::KillTimer(UINT_PTR id) const
{
    ::KillTimer(window, id);
}

LRESULT CALLBACK EngineHost::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* host = reinterpret_cast<EngineHost*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    LRESULT result = 0;
    try {
        if (host && host->onMessage && host->onMessage(message, wParam, lParam, result))
            return result;
    } catch (const std::exception& e) {
        // No exception may cross the system's call of this procedure.
        if (host->onHandlerFailure)
            host->onHandlerFailure(e.what());
        return 0;
    }
    return ::DefWindowProcA(hwnd, message, wParam, lParam);
}
