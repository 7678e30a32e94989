// The exchange's output towards the data client: what waits, for which client, escaped or not, and its sending.
#include "ClientOutput.h"

#include <algorithm>
#include <utility>

#include "Rfc2217Session.h"

ClientOutput::ClientOutput(std::size_t capacity, Sender send, std::size_t readReserve)
    : sender(std::move(send)), output(capacity), reserve(readReserve)
{
}

void ClientOutput::SetClient(std::uintptr_t newClient, bool comPortClient)
{
    std::lock_guard guard(clientLock);
    client = newClient;
    protocolOut.clear();
    protocolBytes = 0;
    protocolWaiting = false;
    outputSuspended = false;
    escapeOutput = comPortClient;
    ++clientGeneration;
}

void ClientOutput::AddProtocol(const std::string& bytes)
{
    if (bytes.empty())
        return;
    std::lock_guard guard(clientLock);
    protocolOut.push_back(bytes);
    protocolBytes += bytes.size();
    protocolWaiting = true;
}

void ClientOutput::Suspend(bool suspend)
{
    std::lock_guard guard(clientLock);
    outputSuspended = suspend;
}

void ClientOutput::Reset()
{
    Drop();
    outputGeneration = clientGeneration;
    letGoGeneration = NOBODY_LET_GO;
    sendBlocked = false;
}

bool ClientOutput::HasWork() const
{
    // The client may have changed (the old one's output goes), may be sent more, may have
    // resumed the output it had suspended, or the com-port protocol has something to say.
    return sendBlocked || protocolWaiting || clientGeneration != outputGeneration || !output.Empty();
}

void ClientOutput::Put(const std::uint8_t* bytes, std::size_t length, bool protocol)
{
    length = output.Append(bytes, length);
    if (length == 0)
        return;
    if (protocol) {
        if (!protocolRuns.empty() && protocolRuns.back().second == putCount)
            protocolRuns.back().second += length;
        else
            protocolRuns.emplace_back(putCount, putCount + length);
    }
    putCount += length;
}

void ClientOutput::Take(std::size_t length)
{
    output.Consume(length);
    takenCount += length;
    while (!protocolRuns.empty() && protocolRuns.front().second <= takenCount)
        protocolRuns.pop_front();
}

void ClientOutput::Drop()
{
    output.Clear();
    protocolRuns.clear();
    takenCount = putCount;
}

bool ClientOutput::Relay(const std::uint8_t* bytes, std::size_t count)
{
    // What waits belongs to the client that was there when it was read; a newcomer starts afresh.
    const std::uint32_t generation = clientGeneration;
    if (generation != outputGeneration) {
        Drop();
        outputGeneration = generation;
        sendBlocked = false;  // that was the old client's socket
    }
    if (letGoGeneration == generation)
        return true;  // let go already: the line's bytes were logged, and that is all
    if (escapeOutput) {
        escaped.clear();
        Rfc2217Session::AppendEscaped(escaped, bytes, count);
        bytes = reinterpret_cast<const std::uint8_t*>(escaped.data());
        count = escaped.size();
    }
    if (output.Room() < count) {
        // A whole output behind: the client is not reading. Cutting these bytes would leave it a
        // stream with a hole in it; it is let go instead, with what it got so far.
        Drop();
        sendBlocked = false;
        letGoGeneration = generation;
        return false;
    }
    Put(bytes, count, false);
    if (!sendBlocked)
        SendWaiting();
    return true;
}

void ClientOutput::Purge(std::uint32_t generation)
{
    if (generation != clientGeneration || generation != outputGeneration)
        return;  // another client's purge, or the output is a newcomer's whose old bytes go anyway
    // The output is rebuilt from the protocol's bytes alone. One that is on its way is kept
    // whole, and so is a doubled 0xFF whose first half has gone.
    std::string waiting;
    waiting.reserve(output.Size());
    for (auto front = output.Front(); !front.empty(); front = output.Front()) {
        waiting.append(reinterpret_cast<const char*>(front.data()), front.size());
        output.Consume(front.size());
    }
    const std::uint64_t start = takenCount;
    std::string kept;
    // The line's bytes at the front, up to the first of the protocol's bytes (none when those are
    // on their way already). Every 0xFF of the line is doubled, so an odd run of them there is a
    // pair cut in two by a send.
    if (escapeOutput) {
        const std::uint64_t lineEnd = protocolRuns.empty() ? putCount : std::max(protocolRuns.front().first, start);
        const auto lineFront = waiting.begin() + static_cast<std::ptrdiff_t>(lineEnd - start);
        if ((std::find_if(waiting.begin(), lineFront, [](char c) { return c != '\xff'; }) - waiting.begin()) % 2 == 1)
            kept += '\xff';
    }
    for (const auto& [first, end] : protocolRuns) {
        const std::uint64_t from = std::max(first, start);
        kept.append(waiting, static_cast<std::size_t>(from - start), static_cast<std::size_t>(end - from));
    }
    protocolRuns.clear();
    output.Clear();
    takenCount = putCount;
    Put(reinterpret_cast<const std::uint8_t*>(kept.data()), kept.size(), true);
}

void ClientOutput::SendWaiting()
{
    std::lock_guard guard(clientLock);
    sendBlocked = false;
    if (clientGeneration != outputGeneration || client == NO_CLIENT) {
        // Read for a client that has gone, or for nobody: it was logged, and that is all.
        Drop();
        outputGeneration = clientGeneration;
        if (client == NO_CLIENT)
            return;
    }
    if (letGoGeneration == outputGeneration) {
        // A client let go is sent nothing more, the protocol's bytes included.
        Drop();
        protocolOut.clear();
        protocolBytes = 0;
        protocolWaiting = false;
        return;
    }
    // The protocol's pieces join the output between two reads, never inside a doubled 0xFF, and
    // never into the room a posted read was promised, so that no read is ever cut; what does not
    // fit waits for the client to take more. (A piece is the answers to one receive, a few KiB at
    // most: it always fits an output the client has emptied.)
    const auto addProtocol = [this] {
        bool added = false;
        while (!protocolOut.empty() && output.Room() >= protocolOut.front().size() + reserve) {
            const std::string& piece = protocolOut.front();
            Put(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size(), true);
            protocolBytes -= piece.size();
            protocolOut.pop_front();
            added = true;
        }
        protocolWaiting = !protocolOut.empty();
        return added;
    };
    addProtocol();
    if (outputSuspended)
        return;
    while (!output.Empty() || addProtocol()) {
        const auto front = output.Front();
        const long sent = sender(client, front.data(), front.size());
        if (sent > 0) {
            Take(static_cast<std::size_t>(sent));
        } else if (sent == WOULD_BLOCK) {
            // The client is slow: the rest waits, and its socket says (FD_WRITE) when it takes more.
            sendBlocked = true;
            return;
        } else {
            // The client is gone, and its answers with it; the window thread hears of it and
            // takes its socket back.
            Drop();
            protocolOut.clear();
            protocolBytes = 0;
            protocolWaiting = false;
            return;
        }
    }
}
