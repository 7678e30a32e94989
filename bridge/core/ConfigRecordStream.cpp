// The configuration connection's bytes, cut into 9-byte records however the client split them.
#include "ConfigRecordStream.h"

#include <algorithm>
#include <cstring>

std::size_t ConfigRecordStream::Append(const std::uint8_t* data, std::size_t length)
{
    const std::size_t taken = std::min(length, Room());
    if (taken > 0)
        std::memcpy(bytes + count, data, taken);
    count += taken;
    return taken;
}

std::optional<ConfigRecord> ConfigRecordStream::Next()
{
    auto record = ConfigRecord::Front(bytes, count);
    if (record) {
        count -= ConfigRecord::SIZE;
        std::memmove(bytes, bytes + ConfigRecord::SIZE, count);
    }
    return record;
}
