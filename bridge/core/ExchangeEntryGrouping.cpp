// When the exchange's bytes go on in the log's current entry and when they need a prefix of their own.
#include "ExchangeEntryGrouping.h"

bool ExchangeEntryGrouping::StartsEntry(std::size_t count, double nowMs)
{
    const bool goesOn = open && nowMs - lastMs <= GAP_MS && entrySize < ENTRY_LIMIT;
    if (!goesOn)
        entrySize = 0;
    open = true;
    entrySize += count;
    lastMs = nowMs;
    return !goesOn;
}
