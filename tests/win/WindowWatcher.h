// Watches this process's visible top-level windows from a thread of its own until a handler takes one:
// for modal windows, which the test's own thread cannot look at while it runs them.
#pragma once
#include <windows.h>

#include <atomic>
#include <functional>
#include <thread>

class WindowWatcher {
public:
    // `take` sees each visible top-level window of this process; true ends the watch. It gives up
    // after about ten seconds.
    explicit WindowWatcher(std::function<bool(HWND)> take)
        : handler(std::move(take)), worker([this] {
              for (int i = 0; i < 1000 && !done; ++i) {
                  EnumWindows(&WindowWatcher::Visit, reinterpret_cast<LPARAM>(this));
                  if (!done)
                      Sleep(10);
              }
          })
    {
    }
    ~WindowWatcher() { worker.join(); }

    std::atomic<bool> done{false};

private:
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM param)
    {
        auto* self = reinterpret_cast<WindowWatcher*>(param);
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        if (process != GetCurrentProcessId() || !IsWindowVisible(hwnd) || !self->handler(hwnd))
            return TRUE;
        self->done = true;
        return FALSE;
    }

    std::function<bool(HWND)> handler;
    std::thread worker;  // last: it starts once the handler is in place
};
