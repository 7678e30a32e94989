// The bridge's ten persistent settings, their registry names and defaults, and the panel conversions.
#pragma once
#include <string>

#include "PanelValues.h"

class BridgeSettings {
public:
    static constexpr const char* SECTION = "Settings";
    static constexpr const char* COMPANY_KEY = "MORVEK Sp. z o.o.";

    // Value names, in the order they are read and written.
    static constexpr const char* NAME_COM_PORT = "Numer portu";
    static constexpr const char* NAME_BAUD_RATE = "Prędkość transmisji";
    static constexpr const char* NAME_PARITY = "Parzystość";
    static constexpr const char* NAME_STOP_BITS = "Bity stopu";
    static constexpr const char* NAME_LISTEN_PORT = "Portu IP nasłuchu";
    static constexpr const char* NAME_LOG_PORT = "Port IP logowania";
    static constexpr const char* NAME_LOG_ADDRESS = "Adres IP logowania";
    static constexpr const char* NAME_LOG_FILE_NAME = "Nazwa pliku logowania";
    static constexpr const char* NAME_LOG_TO_FILE = "Logowanie do pliku";
    static constexpr const char* NAME_LOG_TO_TCP = "Logowanie po TCP/IP";

    int comPort = 1;
    int baudRate = 56000;
    int parity = 0;
    int stopBits = 0;
    int listenPort = 5000;
    int logPort = 5000;
    std::string logAddress = "127.0.0.1";
    std::string logFileName = "Kavrel.txt";
    int logToFile = 0;
    int logToTcp = 0;

    // Values the panel cannot show (a rate outside the speed list, a parity code
    // above 4, ...) come out as no selection.
    PanelValues ToPanel() const;
    // Back from the panel: a list without a selection keeps the stored value.
    void CopyFromPanel(const PanelValues& panel);
};
