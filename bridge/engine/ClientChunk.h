// The data client's one chunk on its way to the serial line: the window thread offers, the worker drains.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "../../framework/CEvent.h"

// The contract:
// - The window thread offers a chunk only while the hand-over is free. It writes the bytes
//   first and publishes their count after them.
// - The worker reads the count first, writes that many bytes to the line and then releases
//   the hand-over, which frees it for the next chunk.
// - Between offer and release the bytes belong to the worker; outside that span, to the window
//   thread. So at most one chunk is ever on its way, and TCP holds the client back meanwhile.
class ClientChunk {
public:
    static constexpr std::size_t CAPACITY = 2000;
    static constexpr std::size_t MAX_CHUNK = 1020;

    // Either thread.
    bool IsFree() const { return count == 0; }
    // Window thread, while free: at most MAX_CHUNK bytes; signals OfferedEvent.
    void Offer(const std::uint8_t* data, std::size_t length);
    // Worker: the offered bytes (none while free).
    const std::uint8_t* Bytes() const { return bytes; }
    std::size_t Size() const { return count; }
    // Worker: the chunk has left, written or not.
    void Release() { count = 0; }
    // Window thread, while no worker runs: a chunk the line never took is dropped.
    void Discard() { count = 0; }
    // Signalled at every offer, so that a waiting worker wakes for it.
    HANDLE OfferedEvent() const { return offered.Handle(); }
    // Window thread: how many chunks were offered so far, this one included.
    std::uint64_t Offers() const { return offers; }

private:
    std::uint8_t bytes[CAPACITY] = {};
    std::atomic<std::size_t> count{0};
    std::atomic<std::uint64_t> offers{0};  // window thread writes, before the count
    CEvent offered{false, false};
};
