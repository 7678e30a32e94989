// The exchange's output towards the data client: what waits, for which client, escaped or not, and its sending.
#include "ClientOutput.h"

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
    output.Clear();
    outputGeneration = clientGeneration;
    sendBlocked = false;
}

bool ClientOutput::HasWork() const
{
    // The client may have changed (the old one's output goes), may be sent more, may have
    // resumed the output it had suspended, or the com-port protocol has something to say.
    return sendBlocked || protocolWaiting || clientGeneration != outputGeneration || !output.Empty();
}

void ClientOutput::Relay(const std::uint8_t* bytes, std::size_t count)
{
    // What waits belongs to the client that was there when it was read; a newcomer starts afresh.
    const std::uint32_t generation = clientGeneration;
    if (generation != outputGeneration) {
        output.Clear();
        outputGeneration = generation;
    }
    if (escapeOutput) {
        escaped.clear();
        Rfc2217Session::AppendEscaped(escaped, bytes, count);
        output.Append(reinterpret_cast<const std::uint8_t*>(escaped.data()), escaped.size());
    } else {
        output.Append(bytes, count);
    }
    if (!sendBlocked)
        SendWaiting();
}

void ClientOutput::SendWaiting()
{
    std::lock_guard guard(clientLock);
    sendBlocked = false;
    if (clientGeneration != outputGeneration || client == NO_CLIENT) {
        // Read for a client that has gone, or for nobody: it was logged, and that is all.
        output.Clear();
        outputGeneration = clientGeneration;
        if (client == NO_CLIENT)
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
            output.Append(reinterpret_cast<const std::uint8_t*>(piece.data()), piece.size());
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
            output.Consume(static_cast<std::size_t>(sent));
        } else if (sent == WOULD_BLOCK) {
            // The client is slow: the rest waits, and its socket says (FD_WRITE) when it takes more.
            sendBlocked = true;
            return;
        } else {
            // The client is gone, and its answers with it; the window thread hears of it and
            // takes its socket back.
            output.Clear();
            protocolOut.clear();
            protocolBytes = 0;
            protocolWaiting = false;
            return;
        }
    }
}
