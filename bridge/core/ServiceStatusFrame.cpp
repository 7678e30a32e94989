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
}

std::string ServiceStatusFrame::Encode(const ServiceStatus& status)
{
    std::string payload;
    AddNumber(payload, "data", status.dataPort);
    AddNumber(payload, "config", status.configPort);
    AddNumber(payload, "rfc2217", status.rfc2217Port);
    AddText(payload, "status", status.status);
    AddNumber(payload, "lost", status.lineLost ? 1 : 0);
    AddNumber(payload, "rate", status.rate);
    AddNumber(payload, "parity", status.parity);
    AddNumber(payload, "stop", status.stopBits);
    AddText(payload, "failure", status.failure);
    AddText(payload, "failed_at", status.failureTime);

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
        if (name == "data")
            status.dataPort = Number(value);
        else if (name == "config")
            status.configPort = Number(value);
        else if (name == "rfc2217")
            status.rfc2217Port = Number(value);
        else if (name == "status")
            status.status = value;
        else if (name == "lost")
            status.lineLost = Number(value) != 0;
        else if (name == "rate")
            status.rate = Number(value);
        else if (name == "parity")
            status.parity = Number(value);
        else if (name == "stop")
            status.stopBits = Number(value);
        else if (name == "failure")
            status.failure = value;
        else if (name == "failed_at")
            status.failureTime = value;
    }
}
