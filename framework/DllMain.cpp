// Library entry: binds the application object to the library's module and runs its start-up.
#include "CWinApp.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    CWinApp* app = AfxGetApp();
    if (!app)
        return TRUE;
    if (reason == DLL_PROCESS_ATTACH) {
        app->AttachModule(instance);
        // A failed start-up fails the host's load of the library.
        if (!app->InitInstance()) {
            app->ExitInstance();
            return FALSE;
        }
    } else if (reason == DLL_PROCESS_DETACH) {
        app->ExitInstance();
    }
    return TRUE;
}
