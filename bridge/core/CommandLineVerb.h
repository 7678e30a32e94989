// What the program was asked to do by its command line: the panel, or one of the service's verbs.
#pragma once
#include <string>
#include <vector>

class CommandLineVerb {
public:
    enum class Verb {
        PANEL,              // no argument: the control panel, as always
        SERVICE,            // started by the service manager
        INSTALL_SERVICE,    // install or bring the service to this configuration
        UNINSTALL_SERVICE,  // stop and remove the service; settings and data stay
        STOP_SERVICE,       // stop the service and wait for its process to end, for an upgrade
        START_SERVICE,      // start the service and wait until it runs, for the panel's elevated copy
        EDIT_SERVICE_SETTINGS,  // the panel editing the service's settings, for the panel's elevated copy
        REFUSED,            // an unknown verb or an extra argument: see `refusal`
    };

    // `arguments` are those after the program's own name. One verb at most: a second word is
    // refused rather than ignored, so a mistyped script fails loudly instead of half-working.
    static CommandLineVerb Parse(const std::vector<std::wstring>& arguments);

    // The verb's word as typed, for reports; empty for the panel.
    static const wchar_t* Word(Verb verb);

    Verb verb = Verb::PANEL;
    std::wstring refusal;  // why the line was refused; empty otherwise
};
