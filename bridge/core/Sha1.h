// SHA-1 of a byte string: what a service's own security identifier is made from.
#pragma once
#include <array>
#include <cstdint>
#include <string>

class Sha1 {
public:
    static std::array<std::uint8_t, 20> Of(const std::string& bytes);
};
