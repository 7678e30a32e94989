// What the program was asked to do by its command line: the panel, or one of the service's verbs.
#include "CommandLineVerb.h"

#include <algorithm>
#include <iterator>

namespace {
struct VerbWord {
    const wchar_t* word;
    CommandLineVerb::Verb verb;
};

// Exact words: the service manager passes "--service" as written into the image path, and a
// verb an administrator types is copied from the guide.
constexpr VerbWord VERBS[] = {
    {L"--service", CommandLineVerb::Verb::SERVICE},
    {L"--install-service", CommandLineVerb::Verb::INSTALL_SERVICE},
    {L"--uninstall-service", CommandLineVerb::Verb::UNINSTALL_SERVICE},
    {L"--stop-service", CommandLineVerb::Verb::STOP_SERVICE},
    {L"--start-service", CommandLineVerb::Verb::START_SERVICE},
    {L"--edit-service-settings", CommandLineVerb::Verb::EDIT_SERVICE_SETTINGS},
};
}

CommandLineVerb CommandLineVerb::Parse(const std::vector<std::wstring>& arguments)
{
    CommandLineVerb result;
    if (arguments.empty())
        return result;
    const std::wstring& first = arguments.front();
    const auto known = std::find_if(std::begin(VERBS), std::end(VERBS), [&](const VerbWord& v) { return first == v.word; });
    if (known == std::end(VERBS)) {
        result.verb = Verb::REFUSED;
        result.refusal = L"Nieznany argument: \"" + first + L"\". Dozwolone: --install-service, --uninstall-service, --start-service, --stop-service, --edit-service-settings.";
        return result;
    }
    if (arguments.size() > 1) {
        result.verb = Verb::REFUSED;
        result.refusal = L"Zbędny argument po " + first + L": \"" + arguments[1] + L"\".";
        return result;
    }
    result.verb = known->verb;
    return result;
}

const wchar_t* CommandLineVerb::Word(Verb verb)
{
    for (const VerbWord& v : VERBS)
        if (v.verb == verb)
            return v.word;
    return L"";
}
