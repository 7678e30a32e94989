// The status channel's framing: a versioned header and the state as named fields.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "ServiceStatus.h"

// A frame is an 8-byte header, then `length` bytes of fields, one "name=value\n" each, in the
// program's ANSI code page:
//   "VXST"  version (1 byte)  0 (1 byte)  length (2 bytes, little-endian)
// A reader refuses another version: the format may change in any way when it changes. Within a
// version, new fields may be added: a reader passes over names it does not know, and a field that
// is missing keeps its default.
class ServiceStatusFrame {
public:
    static constexpr std::uint8_t VERSION = 1;
    static constexpr std::size_t HEADER_SIZE = 8;
    static constexpr std::size_t MAX_PAYLOAD = 4096;
    static constexpr char MAGIC[4] = {'V', 'X', 'S', 'T'};

    // The whole frame; texts that would break a field (a line break) or the bound are cut.
    static std::string Encode(const ServiceStatus& status);
    // The fields of one frame's payload onto `status` (which a caller resets first).
    static void ReadFields(const std::string& payload, ServiceStatus& status);
};
