// The configuration connection's bytes, cut into 9-byte records however the client split them.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>

#include "ConfigRecord.h"

class ConfigRecordStream {
public:
    static constexpr std::size_t CAPACITY = 2000;

    // Every record has nine bytes whatever its code, so at most eight bytes of an incomplete
    // record ever wait here and a whole 1 020-byte chunk always fits behind them.
    std::size_t Room() const { return CAPACITY - count; }
    std::size_t Pending() const { return count; }
    // Takes at most Room() bytes; returns how many it took.
    std::size_t Append(const std::uint8_t* data, std::size_t length);
    // The record at the front, removed; nothing while fewer than nine bytes wait.
    std::optional<ConfigRecord> Next();
    void Clear() { count = 0; }

private:
    std::uint8_t bytes[CAPACITY] = {};
    std::size_t count = 0;
};
