// The service's status pipe: a thread of its own hands every state to a few local readers and reads nothing from them.
#pragma once
#include "../../framework/Afx.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../../framework/CHandle.h"
#include "../core/ServiceStatus.h"

// A thread of its own rather than overlapped writes in the engine's wait: the engine's thread
// only encodes a state and sets an event, and nothing a reader does (or fails to do) can hold
// the line's relay. States change a few times a second at most, so the hand-over costs nothing
// that matters. The pipe is outbound only: the service never reads a byte from it.
class StatusPipeServer {
public:
    static constexpr const wchar_t* PIPE_NAME = L"\\\\.\\pipe\\Vextor.status";
    // A few panels at once; one more instance always waits for the next.
    static constexpr std::size_t MAX_READERS = 4;
    // States queued behind a write that has not completed; past this the reader is dropped.
    static constexpr std::size_t MAX_BACKLOG = 8;
    // Posted to the owner's thread when the name's state changes: wParam 0 once the pipe is ours,
    // else the error that kept it from being made (someone else holds the name).
    static constexpr UINT WM_STATUS_PIPE = WM_APP + 40;

    explicit StatusPipeServer(DWORD ownerThread);
    ~StatusPipeServer();
    StatusPipeServer(const StatusPipeServer&) = delete;
    StatusPipeServer& operator=(const StatusPipeServer&) = delete;

    // Starts the pipe's thread; false when its events could not be made.
    bool Start();
    // Ends the thread and every instance: readers see the pipe break.
    void Stop();
    // The owner's thread: this state to every reader, and to each new one first.
    void Publish(const ServiceStatus& status);

    // Who may do what: no network user, SYSTEM and the service itself all, Administrators and
    // interactive users read only. Write access is never given to users: on a pipe,
    // FILE_APPEND_DATA is the right to create an instance.
    static std::wstring SecurityDescriptorText();

private:
    struct Instance;
    void Serve();
    void TakeOutbox();
    void ForgetDropped();
    void Listen(SECURITY_ATTRIBUTES& attributes);
    void CheckListening();
    void Queue(Instance& reader, const std::string& frame);
    void StartWrite(Instance& reader);
    void CheckWrite(Instance& reader);
    void Drop(Instance& reader);
    void NameState(DWORD error);

    DWORD owner;

    // The owner's thread and the pipe's thread, under `lock`.
    std::mutex lock;
    std::string latest;               // the newest state's frame
    std::deque<std::string> outbox;   // frames not yet taken by the pipe's thread

    // Made by Start, set by the owner's thread, waited on by the pipe's thread.
    CHandle wake;
    CHandle quit;
    std::thread thread;

    // The pipe's thread only.
    std::unique_ptr<Instance> listening;             // waiting for a reader
    std::vector<std::unique_ptr<Instance>> readers;  // connected
    std::vector<std::unique_ptr<Instance>> stuck;    // dropped while their I/O would not end: never freed
    std::string current;                             // the newest frame the pipe's thread has
    DWORD nameError = ~0u;                           // the last state reported: 0 ours, else the error
    DWORD retryAt = 0;                               // tick before which no new instance is tried
};
