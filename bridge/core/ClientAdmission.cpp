// Whether a newcomer on a listener is served: the allow-list first, then the takeover rule.
#include "ClientAdmission.h"

ClientAdmission::Takeover ClientAdmission::TakeoverFromSetting(int value)
{
    switch (value) {
    case 1:
        return Takeover::REFUSE_WHILE_CONNECTED;
    case 2:
        return Takeover::SAME_ADDRESS_ONLY;
    default:
        return Takeover::NEWCOMER_TAKES_OVER;
    }
}

ClientAdmission::Verdict ClientAdmission::Decide(std::uint32_t newcomer, std::optional<std::uint32_t> current) const
{
    if (!allowed.Allows(newcomer))
        return Verdict::REFUSE_NOT_ALLOWED;
    if (!current)
        return Verdict::ACCEPT;
    switch (rule) {
    case Takeover::REFUSE_WHILE_CONNECTED:
        return Verdict::REFUSE_LINE_IN_USE;
    case Takeover::SAME_ADDRESS_ONLY:
        return newcomer == *current ? Verdict::TAKE_OVER : Verdict::REFUSE_LINE_IN_USE;
    case Takeover::NEWCOMER_TAKES_OVER:
        break;
    }
    return Verdict::TAKE_OVER;
}
