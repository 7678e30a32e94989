// Program entry: binds the application object to the module and runs it.
#include "CWinApp.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return 1;
    app->AttachModule(instance);
    if (!app->InitInstance())
        return app->ExitInstance();
    return app->Run();
}
