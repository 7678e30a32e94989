// The news manager: server settings, stored messages, the fetch from the news server, load and save.
#pragma once
#include <cstdint>
#include <string>

#include "NewsList.h"

// Lives on the host's thread; every operation runs there.
class CNewsManager : public NewsList {
public:
    static constexpr int DEFAULT_PORT = 7000;
    static const char* DefaultHost();

    void LoadSettings();
    // 0, or 2 when no memory for the connection was available.
    int Fetch();
    void SaveSettings();
    void SetDontShow(int value);

    const std::string& GetHost() const { return host; }
    void SetHost(const std::string& value) { host = value; }
    int GetPort() const { return port; }
    void SetPort(int value) { port = value; }
    int GetDontShow() const { return dontShow; }

    std::int64_t lastPresentation = 0;

private:
    std::string host;
    int port = DEFAULT_PORT;
};
