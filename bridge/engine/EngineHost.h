// The engine's own message-only window: its timers, the serial worker's messages and COM port arrivals.
#pragma once
#include <functional>
#include <string>

#include "../../framework/Afx.h"

// Created on the thread that runs the engine, which handles its messages; other threads only post
// to it. Message-only windows get no broadcast WM_DEVICECHANGE, so the window registers for the
// arrivals and removals of COM port interfaces itself.
class EngineHost {
public:
    EngineHost();
    ~EngineHost();
    EngineHost(const EngineHost&) = delete;
    EngineHost& operator=(const EngineHost&) = delete;

    // Set once before the first message; true when the message was the engine's, `result` its answer.
    std::function<bool(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)> onMessage;
    // A handler that threw was abandoned; this is told its text, and the engine goes on.
    std::function<void(const std::string& text)> onHandlerFailure;

    // Fixed from construction to destruction: any thread may post to it.
    HWND Window() const { return window; }
    bool Post(UINT message, WPARAM wParam = 0) const;
    void SetTimer(UINT_PTR id, UINT elapseMs) const;
    void KillTimer(UINT_PTR id) const;

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window = nullptr;
    HDEVNOTIFY arrivals = nullptr;  // the COM port interfaces' notifications, until destruction
};
