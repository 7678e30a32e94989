// A fixed-size ring of bytes: the exchange's output that the data client has not taken yet.
#include "ByteRing.h"

#include <algorithm>
#include <cstring>

std::size_t ByteRing::Append(const std::uint8_t* data, std::size_t length)
{
    length = std::min(length, Room());
    const std::size_t tail = (head + count) % storage.size();
    const std::size_t first = std::min(length, storage.size() - tail);
    std::memcpy(storage.data() + tail, data, first);
    std::memcpy(storage.data(), data + first, length - first);
    count += length;
    return length;
}

std::span<const std::uint8_t> ByteRing::Front() const
{
    return {storage.data() + head, std::min(count, storage.size() - head)};
}

void ByteRing::Consume(std::size_t length)
{
    length = std::min(length, count);
    head = (head + length) % storage.size();
    count -= length;
    if (count == 0)
        head = 0;  // the next bytes lie in one piece again
}
