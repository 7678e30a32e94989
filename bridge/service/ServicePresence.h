// What the service manager says of the service "Vextor": whether it holds the line, its state and process, its program.
#pragma once
#include "../../framework/Afx.h"

#include <string>

// Every call opens and closes its own handles: a panel that stays open holds none, so an
// uninstall never leaves the service waiting for deletion behind it.
class ServicePresence {
public:
    struct State {
        bool installed = false;
        DWORD state = 0;      // SERVICE_RUNNING and the others; 0 when not installed or not readable
        DWORD processId = 0;  // while it runs
    };

    // Asked of the service manager with the least rights there are, a user's included; no handle
    // outlives the call. Only "no such service" means none: a service this user may not look at
    // is there all the same. A disabled service holds nothing; a stopped one, or one restarting
    // after a crash, still does, since it comes back by itself.
    static bool HoldsLine();
    // Asked with the right to query the status only, which users have.
    static State Now();
    // The program file of the service's image path; empty when it cannot be read.
    static std::wstring Program();
};
