// The application object: its name, the registry profile, instance start-up and the main window.
#include "CWinApp.h"

#include "CWnd.h"

namespace {
CWinApp* theApplication = nullptr;

std::string ModuleBaseName(HINSTANCE instance)
{
    char path[MAX_PATH] = {};
    DWORD length = ::GetModuleFileNameA(instance, path, MAX_PATH);
    std::string name(path, length);
    size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos)
        name.erase(0, slash + 1);
    size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return name;
}
}

CWinApp* AfxGetApp() { return theApplication; }

HINSTANCE AfxGetResourceHandle() { return theApplication ? theApplication->m_hInstance : ::GetModuleHandleA(nullptr); }

HINSTANCE AfxCodeModule()
{
    HMODULE module = nullptr;
    ::GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         reinterpret_cast<LPCSTR>(&AfxCodeModule), &module);
    return module;
}

CWnd* AfxGetMainWnd() { return theApplication ? theApplication->m_pMainWnd : nullptr; }

int AfxMessageBox(const std::string& text, UINT type)
{
    HWND owner = ::GetActiveWindow();
    if (!owner) {
        CWnd* main = AfxGetMainWnd();
        if (main && main->m_hWnd && ::IsWindowVisible(main->m_hWnd))
            owner = main->m_hWnd;
    }
    const std::string caption = theApplication ? theApplication->AppName() : std::string();
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

std::string AfxLoadString(UINT id)
{
    char buffer[1024] = {};
    int length = ::LoadStringA(AfxGetResourceHandle(), id, buffer, sizeof buffer);
    return std::string(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

CWinApp::CWinApp(const char* name) : appName(name ? name : "")
{
    theApplication = this;
}

CWinApp::~CWinApp()
{
    if (theApplication == this)
        theApplication = nullptr;
}

void CWinApp::AttachModule(HINSTANCE instance)
{
    m_hInstance = instance;
    if (appName.empty())
        appName = ModuleBaseName(instance);
}

int CWinApp::Run()
{
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return ExitInstance();
}

std::string CWinApp::ProfileKeyPath(const char* section) const
{
    return "Software\\" + registryKey + "\\" + appName + "\\" + section;
}
