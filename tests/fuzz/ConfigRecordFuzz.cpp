// The configuration record stream on arbitrary bytes in arbitrary splits: nine bytes a record, splits change nothing.
#include <algorithm>
#include <vector>

#include "FuzzInput.h"
#include "bridge/core/ConfigRecordStream.h"

namespace {
struct Parsed {
    std::vector<ConfigRecord> records;
    std::size_t pending = 0;
};

Parsed Feed(const std::string& bytes, const std::vector<std::size_t>& cuts)
{
    ConfigRecordStream stream;
    Parsed parsed;
    std::size_t at = 0;
    for (std::size_t cut = 0; at < bytes.size(); ++cut) {
        // Each piece is what one receive took: at most the room left, never more than a chunk.
        std::size_t piece = cuts.empty() ? bytes.size() : cuts[cut % cuts.size()];
        piece = std::min({piece, bytes.size() - at, stream.Room(), std::size_t{1020}});
        FUZZ_CHECK(stream.Room() >= 1020);
        const std::size_t before = stream.Pending();
        FUZZ_CHECK(stream.Append(reinterpret_cast<const std::uint8_t*>(bytes.data()) + at, piece) == piece);
        std::size_t taken = 0;
        while (auto record = stream.Next()) {
            parsed.records.push_back(*record);
            taken += ConfigRecord::SIZE;
        }
        FUZZ_CHECK(before + piece == taken + stream.Pending());
        FUZZ_CHECK(stream.Pending() < ConfigRecord::SIZE);
        at += piece;
    }
    parsed.pending = stream.Pending();
    return parsed;
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzInput input(data, size);
    const std::vector<std::size_t> cuts = input.Cuts();
    const std::string bytes = input.Rest();

    const Parsed whole = Feed(bytes, {});
    const Parsed split = Feed(bytes, cuts);
    FUZZ_CHECK(whole.records.size() == bytes.size() / ConfigRecord::SIZE);
    FUZZ_CHECK(whole.pending == bytes.size() % ConfigRecord::SIZE);
    FUZZ_CHECK(split.records.size() == whole.records.size() && split.pending == whole.pending);
    for (std::size_t i = 0; i < whole.records.size(); ++i) {
        // Code and value are the little-endian words at offsets 0 and 5 of the record's own nine bytes.
        const auto* record = reinterpret_cast<const std::uint8_t*>(bytes.data()) + i * ConfigRecord::SIZE;
        const std::uint32_t code = record[0] | record[1] << 8 | record[2] << 16 | std::uint32_t(record[3]) << 24;
        const std::uint32_t value = record[5] | record[6] << 8 | record[7] << 16 | std::uint32_t(record[8]) << 24;
        FUZZ_CHECK(whole.records[i].code == code && whole.records[i].value == value);
        FUZZ_CHECK(split.records[i].code == code && split.records[i].value == value);
    }
    return 0;
}
