// The news library's application object: socket start-up at load, the one news manager, the save at unload.
#pragma once
#include <memory>

#include "../framework/CWinApp.h"
#include "CNewsManager.h"

class CMorvekNewsApp : public CWinApp {
public:
    CMorvekNewsApp() = default;
    ~CMorvekNewsApp() override;

    BOOL InitInstance() override;
    // Runs when the library is unloaded: the save, then the socket layer is released.
    int ExitInstance() override;
    // Saves and drops the manager once, whichever way the library goes away.
    void CleanUp();

    std::unique_ptr<CNewsManager> manager;  // host thread only; null until the first MorvekNewsInit
    int cleanedUp = 0;
};

CMorvekNewsApp& NewsApp();
