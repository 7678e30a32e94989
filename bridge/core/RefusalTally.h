// Refused connections counted per address, so that a flood of them writes a line a minute, not a line each.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// One thread. Times are a monotonic clock's milliseconds. An address's first refusal is written
// in full and opens its minute; the refusals after it in that minute are only counted, and the
// count is written when the minute is over (which opens the next one), or at the end. A minute
// with nothing counted closes quietly, and the address's next refusal is written in full again.
class RefusalTally {
public:
    static constexpr std::uint64_t MINUTE_MS = 60'000;
    enum class Reason { NOT_ALLOWED, LINE_IN_USE };
    struct Count {
        std::uint32_t address;
        Reason reason;
        std::uint64_t more;  // refusals after the one written in full, or after the last count
        bool operator==(const Count&) const = default;
    };

    // A refusal at `nowMs`: true when it is written in full, false when it is only counted.
    // Take the counts due first, so that a minute that is over is never added to.
    bool Refuse(std::uint32_t address, Reason reason, std::uint64_t nowMs);
    // The counts whose minute is over by `nowMs`, in address order.
    std::vector<Count> TakeDue(std::uint64_t nowMs);
    // Every count not yet written, at the end; nothing is left open.
    std::vector<Count> TakeAll();
    // How long from `nowMs` until the next minute is over; none while no minute is open.
    std::optional<std::uint64_t> NextDueIn(std::uint64_t nowMs) const;

private:
    struct Minute {
        std::uint64_t start;
        std::uint64_t more;
    };
    std::map<std::pair<std::uint32_t, Reason>, Minute> minutes;
};
