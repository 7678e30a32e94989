// The application object: its name, the registry profile, instance start-up and the main window.
#pragma once
#include <string>

#include "Afx.h"

class CWinApp {
public:
    // With no name given, the module's file base name becomes the application name.
    explicit CWinApp(const char* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Binds the object to its module; called once by the program or library entry point.
    void AttachModule(HINSTANCE instance);

    // false ends the process without a message loop.
    virtual BOOL InitInstance() { return TRUE; }
    // The process's exit code: what SetExitCode gave, 0 otherwise.
    virtual int ExitInstance() { return exitCode; }
    virtual int Run();

    // The profile's sections then live under HKCU\Software\<company>\<application>\<section>.
    void SetRegistryKey(const char* company) { registryKey = company; }
    std::string ProfileKeyPath(const char* section) const;

    const std::string& AppName() const { return appName; }
    // For a program that ends from InitInstance with a result of its own (a command-line verb).
    void SetExitCode(int code) { exitCode = code; }

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;  // owned by whoever created it; UI thread only

private:
    std::string appName;
    std::string registryKey;
    int exitCode = 0;  // UI thread only
};
