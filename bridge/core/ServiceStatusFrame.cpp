// The status channel's framing: a versioned header and the state as named fields.
#include "ServiceStatusFrame.h"

#include <charconv>

namespace {
// A text field's longest value: the whole frame stays well inside MAX_PAYLOAD.
constexpr std::size_t MAX_TEXT = 512;

void AddText(std::string& payload, const char* name, const std::string& value)
{
    std::string clean = value.substr(0, MAX_TEXT);
    for (char& c : clean)
        if (c == '\n' || c == '\r')
            c = ' ';
    payload += name;
    payload += '=';
    payload += clean;
    payload += '\n';
}

void AddNumber(std::string& payload, const char* name, int value)
{
    AddText(payload, name, std::to_string(value));
}

int Number(const std::string& text)
{
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// The fields by name; "lost" is the one flag, sent as 0 or 1.
struct NumberField {
    const char* name;
    int ServiceStatus::*member;
};
constexpr NumberField NUMBERS[] = {{"data", &ServiceStatus::dataPort},  {"config", &ServiceStatus::configPort},
                                   {"rfc2217", &ServiceStatus::rfc2217Port}, {"rate", &ServiceStatus::rate},
                                   {"parity", &ServiceStatus::parity},   {"stop", &ServiceStatus::stopBits}};
struct TextField {
    const char* name;
    std::string ServiceStatus::*member;
};
constexpr TextField TEXTS[] = {{"status", &ServiceStatus::status},
                               {"failure", &ServiceStatus::failure},
                               {"failed_at", &ServiceStatus::failureTime}};
constexpr const char* LOST = "lost";
}

std::string ServiceStatusFrame::Encode(const ServiceStatus& status)
{
    std::string payload;
    for (const NumberField& field : NUMBERS)
        AddNumber(payload, field.name, status.*field.member);
    for (const TextField& field : TEXTS)
        AddText(payload, field.name, status.*field.member);
    AddNumber(payload, LOST, status.lineLost ? 1 : 0);

    std::string frame(MAGIC, sizeof MAGIC);
    frame += static_cast<char>(VERSION);
    frame += '\0';
    frame += static_cast<char>(payload.size() & 0xFF);
    frame += static_cast<char>(payload.size() >> 8);
    return frame + payload;
}

void ServiceStatusFrame::ReadFields(const std::string& payload, ServiceStatus& status)
{
    std::size_t start = 0;
    while (start < payload.size()) {
        std::size_t end = payload.find('\n', start);
        if (end == std::string::npos)
            end = payload.size();
        const std::string field = payload.substr(start, end - start);
        start = end + 1;
        const std::size_t equals = field.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string name = field.substr(0, equals);
        const std::string value = field.substr(equals + 1);
        for (const NumberField& number : NUMBERS)
            if (name == number.name)
                status.*number.member = Number(value);
        for (const TextField& text : TEXTS)
            if (name == text.name)
                status.*text.member = value;
        if (name == LOST)
            status.lineLost = Number(value) != 0;
    }
}
