// The data client's one chunk on its way to the serial line: the window thread offers, the worker drains.
#include "ClientChunk.h"

#include <algorithm>
#include <cstring>

void ClientChunk::Offer(const std::uint8_t* data, std::size_t length)
{
    if (!IsFree() || length == 0)
        return;
    length = std::min(length, MAX_CHUNK);
    std::memcpy(bytes, data, length);
    ++offers;
    count = length;  // published after the bytes it covers
    offered.SetEvent();
}
