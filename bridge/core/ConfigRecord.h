// The configuration channel's fixed 9-byte records: code, one ignored byte, value (little-endian).
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

struct ConfigRecord {
    static constexpr std::size_t SIZE = 9;
    static constexpr std::uint32_t CFG_SPEED = 3;

    std::uint32_t code = 0;
    std::uint32_t value = 0;

    // The record at the front of `data`, or nothing while fewer than its nine bytes are there.
    // Records of every code have the same size, so an unknown one can be skipped whole.
    static std::optional<ConfigRecord> Front(const std::uint8_t* data, std::size_t count);
};
