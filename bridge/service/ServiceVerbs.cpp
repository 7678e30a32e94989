// The program's command-line verbs other than the panel: read from the command line, run, exit code.
#include "ServiceVerbs.h"

#include "ConsoleReport.h"
#include "ServiceEntry.h"
#include "ServiceInstaller.h"

#include <shellapi.h>

#include <string>

CommandLineVerb ServiceVerbs::FromCommandLine()
{
    int count = 0;
    wchar_t** words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    for (int i = 1; words && i < count; ++i)
        arguments.emplace_back(words[i]);
    ::LocalFree(words);
    return CommandLineVerb::Parse(arguments);
}

int ServiceVerbs::Run(const CommandLineVerb& verb)
{
    ConsoleReport report;
    switch (verb.verb) {
    case CommandLineVerb::Verb::INSTALL_SERVICE:
        return ServiceInstaller(report).Install() ? EXIT_OK : EXIT_FAILED;
    case CommandLineVerb::Verb::UNINSTALL_SERVICE:
        return ServiceInstaller(report).Uninstall() ? EXIT_OK : EXIT_FAILED;
    case CommandLineVerb::Verb::STOP_SERVICE:
        return ServiceInstaller(report).Stop() ? EXIT_OK : EXIT_FAILED;
    case CommandLineVerb::Verb::START_SERVICE:
        return ServiceInstaller(report).StartAndWait() ? EXIT_OK : EXIT_FAILED;
    case CommandLineVerb::Verb::SERVICE: {
        const DWORD error = ServiceEntry::Dispatch();
        if (error == ERROR_FAILED_SERVICE_CONTROLLER_CONNECT)
            report.Failure(L"Opcja --service jest dla menedżera usług. Usługę Vextor uruchamia \"net start Vextor\"; "
                           L"zainstaluj ją poleceniem \"vextor.exe --install-service\".");
        else if (error != ERROR_SUCCESS)
            report.Failure(L"Usługa Vextor nie ruszyła: błąd systemu " + std::to_wstring(error) + L".");
        return error == ERROR_SUCCESS ? EXIT_OK : EXIT_FAILED;
    }
    case CommandLineVerb::Verb::REFUSED:
        report.Failure(verb.refusal);
        return EXIT_REFUSED;
    case CommandLineVerb::Verb::PANEL:
    case CommandLineVerb::Verb::EDIT_SERVICE_SETTINGS:  // windows of the panel: not a console verb
        break;
    }
    return EXIT_OK;
}
