// The panel's side of the status channel: bytes in, whole states out, with no I/O of its own.
#include "ServiceStatusDecoder.h"

#include <cstring>

#include "ServiceStatusFrame.h"

std::optional<ServiceStatus> ServiceStatusDecoder::Feed(const char* bytes, std::size_t count)
{
    std::optional<ServiceStatus> newest;
    if (state == State::BROKEN)
        return newest;
    pending.append(bytes, count);
    std::size_t at = 0;
    while (pending.size() - at >= ServiceStatusFrame::HEADER_SIZE) {
        const char* header = pending.data() + at;
        if (std::memcmp(header, ServiceStatusFrame::MAGIC, sizeof ServiceStatusFrame::MAGIC) != 0) {
            Refuse("not a status frame");
            return newest;
        }
        const auto version = static_cast<unsigned char>(header[4]);
        if (version != ServiceStatusFrame::VERSION) {
            Refuse("version " + std::to_string(version));
            return newest;
        }
        const std::size_t length = static_cast<unsigned char>(header[6]) | static_cast<unsigned char>(header[7]) << 8;
        if (length > ServiceStatusFrame::MAX_PAYLOAD) {
            Refuse("a frame of " + std::to_string(length) + " bytes");
            return newest;
        }
        if (pending.size() - at < ServiceStatusFrame::HEADER_SIZE + length)
            break;
        ServiceStatus status;
        ServiceStatusFrame::ReadFields(pending.substr(at + ServiceStatusFrame::HEADER_SIZE, length), status);
        newest = status;
        at += ServiceStatusFrame::HEADER_SIZE + length;
    }
    pending.erase(0, at);
    return newest;
}

void ServiceStatusDecoder::Refuse(const std::string& why)
{
    state = State::BROKEN;
    refusal = why;
    pending.clear();
}
