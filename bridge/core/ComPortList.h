// The serial ports the panel offers beside COM1 and COM2: their names, labels and order.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// Port numbers are 1 to 255, as Windows numbers them; 0 stands for no port.
class ComPortList {
public:
    static constexpr int MAX_PORT = 255;

    // A port the system lists now, with its device's friendly name (empty when it has none).
    struct Present {
        int number = 0;
        std::string friendlyName;
    };
    // One entry of the panel's list.
    struct Entry {
        int number = 0;
        std::string label;
    };

    // "COM5" (any case, blanks around allowed) gives 5; anything else, or a number outside 1 to 255, 0.
    static int ParseName(std::string_view name);
    // "COM5".
    static std::string Name(int number);
    // The name CreateFile takes for any port, COM10 and above included: "\\.\COM5".
    static std::string DevicePath(int number);
    // "USB-SERIAL CH340 (COM5)": the friendly name, with the port's name added when it lacks it;
    // "COM5" without one; "COM14 (nieobecny)" for a port not present now.
    static std::string Label(int number, std::string_view friendlyName, bool present);
    // The ports present other than COM1 and COM2, in number order, each once; the chosen port
    // (3 to 255) is among them, marked absent, when the system does not list it.
    static std::vector<Entry> Entries(const std::vector<Present>& present, int chosen);
};
