// The receive ring against a plain queue: any mix of stores and takes, zero bytes dropped, nothing past capacity.
#include <deque>
#include <memory>

#include "FuzzInput.h"
#include "news/ReceiveRing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    auto ring = std::make_unique<ReceiveRing>();
    std::deque<std::uint8_t> model;
    std::uint8_t out[70000];
    while (!input.Empty()) {
        const std::uint8_t op = input.Byte();
        if (op & 1) {
            // A store; large ones are made of a repeated run so that short inputs reach the capacity.
            const std::string run = input.Bytes(1 + op % 32);
            const std::size_t repeat = op & 0x80 ? 1 + input.Word() % 4000 : 1;
            std::string bytes;
            for (std::size_t i = 0; i < repeat; ++i)
                bytes += run;
            const std::size_t stored =
                ring->Store(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
            std::size_t expected = 0;
            for (char c : bytes) {
                if (c != 0 && model.size() < ReceiveRing::CAPACITY) {
                    model.push_back(static_cast<std::uint8_t>(c));
                    ++expected;
                }
            }
            FUZZ_CHECK(stored == expected);
        } else {
            const std::size_t wanted = op & 0x80 ? input.Word() % sizeof out : op % 64;
            const std::size_t taken = ring->Take(out, wanted);
            FUZZ_CHECK(taken == std::min(wanted, model.size()));
            for (std::size_t i = 0; i < taken; ++i) {
                FUZZ_CHECK(out[i] == model.front());
                model.pop_front();
            }
        }
        FUZZ_CHECK(ring->Count() == model.size());
        FUZZ_CHECK(ring->FreeSpace() == ReceiveRing::CAPACITY - model.size());
    }
    return 0;
}
