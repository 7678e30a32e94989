// The exchange's output towards the data client: what waits, for which client, escaped or not, and its sending.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>

#include "ByteRing.h"

// Two threads use it. The window thread changes the client, hands over the com-port protocol's
// bytes and suspends or resumes the output; the serial worker appends what the line read and
// sends. The caller wakes the worker after each of the window thread's calls.
//
// A client that falls a whole output behind is let go: what it had not taken is dropped, and it
// is sent nothing more, so that what it got is an exact prefix of the line's stream and never a
// stream with a hole. The window thread then closes its connection.
class ClientOutput {
public:
    // Sends what it can of `length` bytes to `client`: the count taken (more than 0),
    // WOULD_BLOCK while the client's socket is full, anything else once the client is gone.
    using Sender = std::function<long(std::uintptr_t client, const std::uint8_t* bytes, std::size_t length)>;
    static constexpr long WOULD_BLOCK = -1;
    static constexpr long GONE = -2;
    // No client: what the line reads is logged and dropped.
    static constexpr std::uintptr_t NO_CLIENT = ~std::uintptr_t{0};

    // `readReserve`: the room a read posted on the line was promised; the protocol's answers never take it.
    ClientOutput(std::size_t capacity, Sender send, std::size_t readReserve = 0);
    ClientOutput(const ClientOutput&) = delete;
    ClientOutput& operator=(const ClientOutput&) = delete;

    // Window thread: the client the exchange's bytes go to from now on; a com-port client gets
    // them with every 0xFF doubled. When it returns no send reaches the previous client, and what
    // it had not taken is discarded.
    void SetClient(std::uintptr_t client, bool comPortClient);
    // Window thread: bytes of the com-port protocol for the current client, sent in order with
    // the exchange's bytes, never in between a doubled 0xFF. Each call's bytes are whole answers:
    // they join the output as one piece, once it has room for them beside the read reserve.
    void AddProtocol(const std::string& bytes);
    // Either thread: the protocol's bytes that have not joined the output yet. The window thread
    // stops reading a com-port client while too many wait, so that they stay few.
    std::size_t ProtocolWaiting() const { return protocolBytes; }
    // Window thread: the client asked to stop (or to resume) receiving; meanwhile the bytes wait.
    void Suspend(bool suspend);

    // Worker: a fresh start, with nothing waiting for the client there is now.
    void Reset();
    // Worker: bytes the line read, for the client there is now; sent at once unless it is blocked.
    // False when they did not fit: the client was let go now (see LetGo).
    bool Relay(const std::uint8_t* bytes, std::size_t count);
    // Worker: the client that was there at `generation` purged its receive side: the line's bytes
    // waiting for it are dropped; the protocol's bytes among them still go.
    void Purge(std::uint32_t generation);
    // Worker: sends what waits until it is all gone or the client takes no more.
    void SendWaiting();
    // Worker: the client's socket is full; SendWaiting again once it takes more.
    bool Blocked() const { return sendBlocked; }
    // Worker: something waits that SendWaiting would move (or drop, for a client that has gone).
    bool HasWork() const;
    // Worker: how much more the output takes.
    std::size_t Room() const { return output.Room(); }

    // Any thread: which client the output is for now; it changes with every SetClient.
    std::uint32_t Generation() const { return clientGeneration; }
    // Window thread: the current client was let go for falling behind; its connection is to close.
    bool LetGo() const { return letGoGeneration == clientGeneration; }

private:
    static constexpr std::uint32_t NOBODY_LET_GO = ~std::uint32_t{0};

    void Put(const std::uint8_t* bytes, std::size_t length, bool protocol);
    void Take(std::size_t length);
    void Drop();

    Sender sender;

    // The data client: changed by the window thread and used by the worker's send, each only
    // while holding clientLock, so that no send ever reaches a socket that was closed since.
    std::mutex clientLock;
    std::uintptr_t client = NO_CLIENT;
    std::deque<std::string> protocolOut;  // the com-port protocol's pieces, not yet in the output
    std::atomic<std::size_t> protocolBytes{0};  // their size, read by the window thread without the lock
    bool outputSuspended = false;  // the client asked for no more of the exchange's bytes for now
    // Change with the client; written under the lock, read by the worker without it too: the
    // generation first, then the rest, so that a stale reading is always caught by the generation.
    std::atomic<bool> escapeOutput{false};
    std::atomic<bool> protocolWaiting{false};
    std::atomic<std::uint32_t> clientGeneration{0};
    // Written by the worker: the client it let go for falling behind; read by the window thread.
    std::atomic<std::uint32_t> letGoGeneration{NOBODY_LET_GO};

    // Worker only: the exchange's output that waits for the client.
    ByteRing output;
    const std::size_t reserve;  // never taken by the protocol: a posted read's room
    std::string escaped;                 // a com-port client's copy of a read, every 0xFF doubled
    std::uint32_t outputGeneration = 0;  // the client the waiting output belongs to
    bool sendBlocked = false;            // the client's socket is full: wait until it takes more
    // Where the protocol's bytes lie in the output, counted in bytes ever put in, so that a purge
    // drops the line's bytes only.
    std::uint64_t putCount = 0;
    std::uint64_t takenCount = 0;
    std::deque<std::pair<std::uint64_t, std::uint64_t>> protocolRuns;  // [first, end) of each
};
