// The program's command-line verbs other than the panel: read from the command line, run, exit code.
#pragma once
#include "../core/CommandLineVerb.h"

class ServiceVerbs {
public:
    // Exit codes: what `start /wait` and scripts see.
    static constexpr int EXIT_OK = 0;
    static constexpr int EXIT_FAILED = 1;   // the verb ran and failed; the reason was written
    static constexpr int EXIT_REFUSED = 2;  // the command line was refused; the reason was written

    // The process's own command line, split as the system splits it.
    static CommandLineVerb FromCommandLine();
    // Runs any verb but the panel's and gives the process's exit code. The reason of a failure
    // goes to the console, never a box: nobody may be there to close it.
    static int Run(const CommandLineVerb& verb);
};
