// The line changes the window thread queues for the serial worker, and the results it hands back.
#include "LineCommandQueue.h"

bool LineCommandQueue::Queue(const LineCommand& change, std::uint64_t offers)
{
    std::lock_guard guard(commandLock);
    if (FullLocked())
        return false;
    commands.push_back(change);
    commands.back().afterChunks = offers;
    commandsWaiting = true;
    return true;
}

bool LineCommandQueue::Full()
{
    std::lock_guard guard(commandLock);
    return FullLocked();
}

bool LineCommandQueue::FullLocked() const
{
    // Results not yet taken count too, so that a flood of changes holds its sender back.
    return commands.size() + results.size() >= CAPACITY;
}

std::vector<LineResult> LineCommandQueue::TakeResults()
{
    std::lock_guard guard(commandLock);
    std::vector<LineResult> taken(results.begin(), results.end());
    results.clear();
    return taken;
}

void LineCommandQueue::Clear()
{
    std::lock_guard guard(commandLock);
    commands.clear();
    results.clear();
    commandsWaiting = false;
}

bool LineCommandQueue::Due(std::uint64_t chunksDone)
{
    std::lock_guard guard(commandLock);
    return FrontDueLocked(chunksDone);
}

bool LineCommandQueue::FrontDueLocked(std::uint64_t chunksDone) const
{
    return !commands.empty() && commands.front().afterChunks <= chunksDone;
}

std::deque<LineCommand> LineCommandQueue::TakeDue(std::uint64_t chunksDone)
{
    std::deque<LineCommand> batch;
    std::lock_guard guard(commandLock);
    while (FrontDueLocked(chunksDone)) {
        batch.push_back(commands.front());
        commands.pop_front();
    }
    commandsWaiting = !commands.empty();
    return batch;
}

void LineCommandQueue::AddResult(const LineResult& result)
{
    std::lock_guard guard(commandLock);
    results.push_back(result);
}
