// When the exchange's bytes go on in the log's current entry and when they need a prefix of their own.
#pragma once
#include <cstddef>

// The serial line hands the exchange's bytes over a few at a time, as they come. An entry goes on
// while they keep coming within a short gap, nothing else was logged in between and the entry is
// still under ENTRY_LIMIT bytes; otherwise they begin a new entry under the exchange's prefix.
class ExchangeEntryGrouping {
public:
    // A stream at 115 200 baud hands over every millisecond or two; 5 ms (the pass the line used
    // to poll at) keeps such a stream together and still parts answers a person or a program asked for.
    static constexpr double GAP_MS = 5.0;
    static constexpr std::size_t ENTRY_LIMIT = 100;

    // `count` bytes of the exchange at `nowMs` (any steady clock): true when they need the prefix.
    bool StartsEntry(std::size_t count, double nowMs);
    // Any other entry ends the exchange's.
    void OtherEntry() { open = false; }

private:
    bool open = false;
    std::size_t entrySize = 0;
    double lastMs = 0;
};
