// Runs a copy of the service's own program with one verb, as an administrator, and tells the panel its exit code.
#include "ElevatedVerb.h"

#include <objbase.h>
#include <shellapi.h>

ElevatedVerb::~ElevatedVerb()
{
    if (thread.joinable()) {
        ::SetEvent(quit.Get());
        thread.join();
    }
}

bool ElevatedVerb::Run(const std::wstring& program, const wchar_t* verb)
{
    if (Running())
        return false;
    quit.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!quit.IsValid())
        return false;
    thread = std::thread([this, program, words = std::wstring(verb)] { Launch(program, words); });
    return true;
}

void ElevatedVerb::Finished()
{
    if (thread.joinable())
        thread.join();
}

void ElevatedVerb::Launch(std::wstring program, std::wstring verb)
{
    // The shell's execution may use COM; this thread is its own apartment.
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.hwnd = window;
    execute.lpVerb = L"runas";
    execute.lpFile = program.c_str();
    execute.lpParameters = verb.c_str();
    execute.nShow = SW_HIDE;
    const bool started = ::ShellExecuteExW(&execute) && execute.hProcess;
    const DWORD error = started ? 0 : ::GetLastError();
    if (SUCCEEDED(com))
        ::CoUninitialize();
    if (!started) {
        ::PostMessageA(window, WM_ELEVATED_VERB_DONE, error, error == ERROR_CANCELLED ? CANCELLED : NOT_STARTED);
        return;
    }
    CHandle process;
    process.Reset(execute.hProcess);
    const HANDLE waits[] = {process.Get(), quit.Get()};
    if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
        return;  // the panel is closing
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    ::PostMessageA(window, WM_ELEVATED_VERB_DONE, code, ENDED);
}
