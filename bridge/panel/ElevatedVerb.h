// Runs a copy of the service's own program with one verb, as an administrator, and tells the panel its exit code.
#pragma once
#include "../../framework/Afx.h"

#include <string>
#include <thread>

#include "../../framework/CHandle.h"

// Posted to the panel when the copy ended: wParam its exit code, or the error that kept it from
// starting; lParam one of the outcomes below.
constexpr UINT WM_ELEVATED_VERB_DONE = WM_APP + 42;

// The prompt and the wait run on a thread of their own, so the panel's window never freezes.
// The program is the one the service manager starts (its image path), not the panel's own copy:
// the administrator approves the program the service runs.
class ElevatedVerb {
public:
    enum Outcome : LPARAM {
        ENDED = 0,      // wParam: the copy's exit code
        NOT_STARTED,    // wParam: the error
        CANCELLED,      // the user declined the prompt: nothing to say
    };

    explicit ElevatedVerb(HWND panelWindow) : window(panelWindow) {}
    ~ElevatedVerb();
    ElevatedVerb(const ElevatedVerb&) = delete;
    ElevatedVerb& operator=(const ElevatedVerb&) = delete;

    // False while an earlier copy still runs.
    bool Run(const std::wstring& program, const wchar_t* verb);
    bool Running() const { return thread.joinable(); }
    // The window's thread, on WM_ELEVATED_VERB_DONE: the thread is finished with.
    void Finished();

private:
    void Launch(std::wstring program, std::wstring verb);

    HWND window;
    CHandle quit;  // set when the panel closes: the wait ends, the copy goes on by itself
    std::thread thread;  // started and joined by the window's thread
};
