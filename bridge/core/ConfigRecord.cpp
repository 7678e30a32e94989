// The configuration channel's fixed 9-byte records: code, one ignored byte, value (little-endian).
#include "ConfigRecord.h"

namespace {
std::uint32_t LittleEndian32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}
}

std::optional<ConfigRecord> ConfigRecord::Front(const std::uint8_t* data, std::size_t count)
{
    if (count < SIZE)
        return std::nullopt;
    ConfigRecord record;
    record.code = LittleEndian32(data);
    record.value = LittleEndian32(data + 5);
    return record;
}
