// The news library's application object: socket start-up at load, the one news manager, the save at unload.
#include "CMorvekNewsApp.h"

#include "../framework/AfxSocket.h"

namespace {
CMorvekNewsApp theApp;
}

CMorvekNewsApp& NewsApp()
{
    return theApp;
}

CMorvekNewsApp::~CMorvekNewsApp()
{
    CleanUp();
}

BOOL CMorvekNewsApp::InitInstance()
{
    return CWinApp::InitInstance() && AfxSocketInit();
}

int CMorvekNewsApp::ExitInstance()
{
    // The unload work runs here, in the library's detach, while the socket layer and the
    // resources are still there; the destructor then finds it done.
    CleanUp();
    AfxSocketTerm();
    return CWinApp::ExitInstance();
}

void CMorvekNewsApp::CleanUp()
{
    if (cleanedUp)
        return;
    if (manager) {
        manager->SaveSettings();
        manager.reset();
    }
    cleanedUp = 1;
}
