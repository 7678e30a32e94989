// Whether the service "Vextor" is installed and may run: then it holds the line, and a panel leaves the line alone.
#pragma once

class ServicePresence {
public:
    // Asked of the service manager with the least rights there are, a user's included; no handle
    // outlives the call. Only "no such service" means none: a service this user may not look at
    // is there all the same. A disabled service holds nothing; a stopped one, or one restarting
    // after a crash, still does, since it comes back by itself.
    static bool HoldsLine();
};
