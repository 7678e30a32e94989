// Refused connections counted per address, so that a flood of them writes a line a minute, not a line each.
#include "RefusalTally.h"

#include <algorithm>

bool RefusalTally::Refuse(std::uint32_t address, Reason reason, std::uint64_t nowMs)
{
    const auto [minute, opened] = minutes.try_emplace({address, reason}, Minute{nowMs, 0});
    if (!opened)
        ++minute->second.more;
    return opened;
}

std::vector<RefusalTally::Count> RefusalTally::TakeDue(std::uint64_t nowMs)
{
    std::vector<Count> due;
    for (auto it = minutes.begin(); it != minutes.end();) {
        Minute& minute = it->second;
        if (nowMs - minute.start < MINUTE_MS) {
            ++it;
        } else if (minute.more == 0) {
            it = minutes.erase(it);
        } else {
            // The count's line is this address's line of the minute that starts now.
            due.push_back({it->first.first, it->first.second, minute.more});
            minute = Minute{nowMs, 0};
            ++it;
        }
    }
    return due;
}

std::vector<RefusalTally::Count> RefusalTally::TakeAll()
{
    std::vector<Count> all;
    for (const auto& [key, minute] : minutes)
        if (minute.more != 0)
            all.push_back({key.first, key.second, minute.more});
    minutes.clear();
    return all;
}

std::optional<std::uint64_t> RefusalTally::NextDueIn(std::uint64_t nowMs) const
{
    std::optional<std::uint64_t> next;
    for (const auto& [key, minute] : minutes) {
        const std::uint64_t end = minute.start + MINUTE_MS;
        const std::uint64_t in = end > nowMs ? end - nowMs : 0;
        next = next ? std::min(*next, in) : in;
    }
    return next;
}
