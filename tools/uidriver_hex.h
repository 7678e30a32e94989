// The UI driver's texts on the wire: hex of their ANSI (Windows-1250) bytes, "-" for an empty one.
#pragma once
#include <istream>
#include <string>

inline std::string ToHex(const std::string& bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out.empty() ? "-" : out;
}

inline std::string FromHex(const std::string& hex)
{
    if (hex == "-")
        return {};
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

inline std::string FromHexWord(std::istream& in)
{
    std::string word;
    in >> word;
    return FromHex(word);
}
