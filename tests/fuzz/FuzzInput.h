// Reads a fuzzer's bytes as a sequence of small numbers and byte runs; a property that fails aborts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

class FuzzInput {
public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : bytes(data), left(size) {}

    bool Empty() const { return left == 0; }
    std::uint8_t Byte()
    {
        if (left == 0)
            return 0;
        --left;
        return *bytes++;
    }
    std::uint32_t Word()
    {
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<std::uint32_t>(Byte()) << (8 * i);
        return value;
    }
    // Up to `most` bytes (fewer when the input runs out).
    std::string Bytes(std::size_t most)
    {
        const std::size_t taken = most < left ? most : left;
        std::string run(reinterpret_cast<const char*>(bytes), taken);
        bytes += taken;
        left -= taken;
        return run;
    }
    std::string Rest() { return Bytes(left); }
    // Up to seven piece lengths of 1 to 40 bytes: where a stream is cut into receives.
    std::vector<std::size_t> Cuts()
    {
        std::vector<std::size_t> cuts;
        for (std::size_t count = Byte() % 8; count > 0; --count)
            cuts.push_back(1 + Byte() % 40);
        return cuts;
    }

private:
    const std::uint8_t* bytes;
    std::size_t left;
};

// A broken property: say which, then stop so that the fuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                        \
    do {                                                                             \
        if (!(condition)) {                                                          \
            std::fprintf(stderr, "property failed: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
            std::abort();                                                            \
        }                                                                            \
    } while (0)
