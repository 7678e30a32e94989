// The news socket's receive ring: 65 535 bytes, zero bytes dropped on the way in.
#include "ReceiveRing.h"

std::size_t ReceiveRing::Store(const std::uint8_t* data, std::size_t length)
{
    std::size_t stored = 0;
    for (std::size_t i = 0; i < length && count < CAPACITY; ++i) {
        if (data[i] == 0)
            continue;
        storage[writePos] = data[i];
        writePos = (writePos + 1) % CAPACITY;
        ++count;
        ++stored;
    }
    return stored;
}

std::size_t ReceiveRing::Take(std::uint8_t* out, std::size_t length)
{
    std::size_t taken = 0;
    while (taken < length && count > 0) {
        out[taken++] = storage[readPos];
        readPos = (readPos + 1) % CAPACITY;
        --count;
    }
    return taken;
}
