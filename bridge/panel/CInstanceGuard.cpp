// One running copy of the bridge per program name in a user's session; a later start shows the first one's panel.
#include "CInstanceGuard.h"

namespace {
// The panel's class and caption as its dialog template gives them.
constexpr const char* PANEL_CLASS = "#32770";
constexpr const char* PANEL_CAPTION = "kavrel";
// How long a later start waits for the running copy to take the request.
constexpr UINT SHOW_REQUEST_MS = 3000;

// File names compare without regard to case, so the program name does too.
std::string Lowered(std::string text)
{
    if (!text.empty())
        ::CharLowerBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

// The base name, without extension, of the program file the process runs.
std::string ProgramNameOf(DWORD processId)
{
    CHandle process;
    process.Reset(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process.IsValid())
        return {};
    char path[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    if (!::QueryFullProcessImageNameA(process.Get(), 0, path, &length))
        return {};
    std::string name(path, length);
    const std::size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return Lowered(name);
}

struct PanelSearch {
    std::string programName;  // lowered
    DWORD ownProcess;
    HWND found;
};

BOOL CALLBACK LookAtWindow(HWND hwnd, LPARAM param)
{
    auto* search = reinterpret_cast<PanelSearch*>(param);
    char className[16] = {};
    char caption[16] = {};
    ::GetClassNameA(hwnd, className, sizeof className);
    if (std::string(className) != PANEL_CLASS)
        return TRUE;
    ::GetWindowTextA(hwnd, caption, sizeof caption);
    if (std::string(caption) != PANEL_CAPTION)
        return TRUE;
    DWORD process = 0;
    ::GetWindowThreadProcessId(hwnd, &process);
    if (process == search->ownProcess || ProgramNameOf(process) != search->programName)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}
}

UINT CInstanceGuard::ShowPanelMessage()
{
    static const UINT message = ::RegisterWindowMessageA("MORVEK Vextor: show the panel");
    return message;
}

bool CInstanceGuard::Claim(const std::string& programName)
{
    // Local\ keeps the name to this session; another user's copy is another program run.
    const std::string name = "Local\\MORVEK Vextor " + Lowered(programName);
    mutex.Reset(::CreateMutexA(nullptr, FALSE, name.c_str()));
    // Without a mutex there is nothing to go by: run rather than refuse to start.
    if (!mutex.IsValid() || ::GetLastError() != ERROR_ALREADY_EXISTS)
        return true;
    mutex.Close();
    // A copy that is still starting has no panel yet; it shows its panel anyway once it has one.
    if (HWND panel = FindRunningPanel(programName)) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(panel, &process);
        // The start the user just made may hand the foreground on to the copy that runs.
        ::AllowSetForegroundWindow(process);
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutA(panel, ShowPanelMessage(), 0, 0, SMTO_ABORTIFHUNG, SHOW_REQUEST_MS, &ignored);
    }
    return false;
}

HWND CInstanceGuard::FindRunningPanel(const std::string& programName)
{
    PanelSearch search{Lowered(programName), ::GetCurrentProcessId(), nullptr};
    ::EnumWindows(LookAtWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
