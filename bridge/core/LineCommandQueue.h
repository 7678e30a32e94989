// The line changes the window thread queues for the serial worker, and the results it hands back.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "LineCommand.h"

// The window thread queues and takes results; the worker takes the changes that are due and
// adds their results. Each queue is used only under the lock.
class LineCommandQueue {
public:
    // Changes waiting and results not yet taken; the window thread stops taking more while full.
    static constexpr std::size_t CAPACITY = 16;

    // Window thread: queues a change behind the client's `offers` chunks offered so far; false
    // (and nothing queued) while the queue is full.
    bool Queue(const LineCommand& command, std::uint64_t offers);
    bool Full();
    // Window thread: what came of the changes, in the order they were queued.
    std::vector<LineResult> TakeResults();
    // Window thread, once no worker runs: forgets changes and results alike.
    void Clear();

    // Worker: a change waits (a reading without the lock, to be confirmed by Due).
    bool Waiting() const { return commandsWaiting; }
    // Worker: the first change is due, its client's chunks having gone to the line.
    bool Due(std::uint64_t chunksDone);
    // Worker: takes the changes that are due, in order.
    std::deque<LineCommand> TakeDue(std::uint64_t chunksDone);
    void AddResult(const LineResult& result);

private:
    // Under commandLock: the queue takes no more; the first change is due.
    bool FullLocked() const;
    bool FrontDueLocked(std::uint64_t chunksDone) const;

    std::mutex commandLock;
    std::deque<LineCommand> commands;
    std::deque<LineResult> results;
    std::atomic<bool> commandsWaiting{false};
};
