// The news socket's receive ring: 65 535 bytes, zero bytes dropped on the way in.
#pragma once
#include <cstddef>
#include <cstdint>

class ReceiveRing {
public:
    static constexpr std::size_t STORAGE = 65536;
    static constexpr std::size_t CAPACITY = STORAGE - 1;  // positions 0 to 65534

    std::size_t Count() const { return count; }
    std::size_t FreeSpace() const { return CAPACITY - count; }
    // Stores the non-zero bytes of data (at most the free space of them); returns how many.
    std::size_t Store(const std::uint8_t* data, std::size_t length);
    // Copies up to `length` bytes out; returns how many.
    std::size_t Take(std::uint8_t* out, std::size_t length);

private:
    std::uint8_t storage[STORAGE] = {};
    std::size_t writePos = 0;
    std::size_t readPos = 0;
    std::size_t count = 0;
};
