// A fixed-size ring of bytes: the exchange's output that the data client has not taken yet.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// One thread's: the serial worker appends what the line read and sends from the front.
class ByteRing {
public:
    explicit ByteRing(std::size_t capacity) : storage(capacity) {}

    std::size_t Size() const { return count; }
    std::size_t Room() const { return storage.size() - count; }
    bool Empty() const { return count == 0; }
    // Takes at most Room() bytes; returns how many it took.
    std::size_t Append(const std::uint8_t* data, std::size_t length);
    // The oldest bytes that lie in one piece (all of them unless they wrap).
    std::span<const std::uint8_t> Front() const;
    // Forgets the first `length` bytes (at most Size()).
    void Consume(std::size_t length);
    void Clear() { count = head = 0; }

private:
    std::vector<std::uint8_t> storage;
    std::size_t head = 0;  // position of the oldest byte
    std::size_t count = 0;
};
