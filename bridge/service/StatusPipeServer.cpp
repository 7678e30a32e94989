// The service's status pipe: a thread of its own hands every state to a few local readers and reads nothing from them.
#include "StatusPipeServer.h"

#include <sddl.h>

#include <algorithm>

#include "../core/ServiceSid.h"
#include "../core/ServiceStatusFrame.h"
#include "ServiceInstaller.h"

namespace {
// A name held by someone else is tried again so often.
constexpr DWORD RETRY_MS = 2000;
// With every instance taken, idle readers are sent the state again so often: one that left is
// then noticed and its place freed.
constexpr DWORD PROBE_MS = 1000;
constexpr DWORD OUT_BUFFER = 4096;
// How long a dropped reader's cancelled I/O is waited for before its instance is left for good.
constexpr DWORD CANCEL_WAIT_MS = 1000;

struct LocalDescriptor {
    PSECURITY_DESCRIPTOR value = nullptr;
    ~LocalDescriptor()
    {
        if (value)
            ::LocalFree(value);
    }
};

std::wstring Widen(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}
}

struct StatusPipeServer::Instance {
    CHandle pipe;
    CHandle event;
    OVERLAPPED overlapped{};
    bool pending = false;             // a connect or a write is under way
    std::deque<std::string> backlog;  // frames waiting for the write under way
    std::string writing;              // the frame under way; alive until its write completes
    bool dropped = false;

    bool Completed() const { return pending && HasOverlappedIoCompleted(&overlapped); }
};

StatusPipeServer::StatusPipeServer(DWORD ownerThread) : owner(ownerThread) {}

StatusPipeServer::~StatusPipeServer()
{
    Stop();
}

void StatusPipeServer::Stop()
{
    if (thread.joinable()) {
        ::SetEvent(quit.Get());
        thread.join();
    }
}

std::wstring StatusPipeServer::SecurityDescriptorText()
{
    return L"D:P(D;;GA;;;NU)(A;;GA;;;SY)(A;;GA;;;" + Widen(ServiceSid::Of("Vextor")) +
           L")(A;;0x120089;;;BA)(A;;0x120089;;;IU)";
}

bool StatusPipeServer::Start()
{
    wake.Reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    quit.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!wake.IsValid() || !quit.IsValid())
        return false;
    thread = std::thread([this] { Serve(); });
    return true;
}

void StatusPipeServer::Publish(const ServiceStatus& status)
{
    const std::string frame = ServiceStatusFrame::Encode(status);
    {
        std::lock_guard guard(lock);
        latest = frame;
        outbox.push_back(frame);
    }
    ::SetEvent(wake.Get());
}

void StatusPipeServer::Serve()
{
    LocalDescriptor descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(SecurityDescriptorText().c_str(), SDDL_REVISION_1,
                                                                &descriptor.value, nullptr)) {
        NameState(::GetLastError());
        return;  // no pipe without its descriptor: a default one would let any user in
    }
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor.value, FALSE};
    for (;;) {
        const bool full = readers.size() >= MAX_READERS;
        if (!listening && !full && static_cast<LONG>(::GetTickCount() - retryAt) >= 0)
            Listen(attributes);
        std::vector<HANDLE> waits{quit.Get(), wake.Get()};
        if (listening && listening->pending)
            waits.push_back(listening->event.Get());
        for (const auto& reader : readers)
            if (reader->pending)
                waits.push_back(reader->event.Get());
        const DWORD timeout = full ? PROBE_MS : !listening ? RETRY_MS : INFINITE;
        const DWORD woken = ::WaitForMultipleObjects(static_cast<DWORD>(waits.size()), waits.data(), FALSE, timeout);
        if (woken == WAIT_OBJECT_0)
            break;
        if (woken == WAIT_FAILED)
            ::Sleep(RETRY_MS);  // never spin on a wait that keeps failing
        TakeOutbox();
        if (woken == WAIT_TIMEOUT && full)
            for (const auto& reader : readers)
                if (!reader->pending)
                    Queue(*reader, current);
        CheckListening();
        for (const auto& reader : readers)
            CheckWrite(*reader);
        ForgetDropped();
    }
    if (listening)
        Drop(*listening);
    for (const auto& reader : readers)
        Drop(*reader);
}

void StatusPipeServer::ForgetDropped()
{
    for (auto& reader : readers)
        if (reader->dropped && reader->pending)
            stuck.push_back(std::move(reader));  // the system may still write into its buffer: never freed
    readers.erase(std::remove_if(readers.begin(), readers.end(), [](const auto& r) { return !r || r->dropped; }),
                  readers.end());
}

void StatusPipeServer::TakeOutbox()
{
    std::deque<std::string> frames;
    {
        std::lock_guard guard(lock);
        frames.swap(outbox);
        current = latest;
    }
    for (const std::string& frame : frames)
        for (const auto& reader : readers)
            Queue(*reader, frame);
}

void StatusPipeServer::Listen(SECURITY_ATTRIBUTES& attributes)
{
    // The first instance claims the name: if another program made it first, creating fails
    // instead of joining that program's pipe.
    const DWORD first = readers.empty() ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
    auto instance = std::make_unique<Instance>();
    instance->pipe.Reset(::CreateNamedPipeW(PIPE_NAME, PIPE_ACCESS_OUTBOUND | FILE_FLAG_OVERLAPPED | first,
                                            PIPE_TYPE_BYTE | PIPE_WAIT | PIPE_REJECT_REMOTE_CLIENTS,
                                            static_cast<DWORD>(MAX_READERS + 1), OUT_BUFFER, 0, 0, &attributes));
    if (!instance->pipe.IsValid()) {
        NameState(::GetLastError());
        retryAt = ::GetTickCount() + RETRY_MS;
        return;
    }
    NameState(0);
    instance->event.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    instance->overlapped.hEvent = instance->event.Get();
    if (!instance->event.IsValid()) {
        retryAt = ::GetTickCount() + RETRY_MS;
        return;
    }
    if (::ConnectNamedPipe(instance->pipe.Get(), &instance->overlapped) || ::GetLastError() == ERROR_IO_PENDING) {
        instance->pending = true;
        listening = std::move(instance);
        return;
    }
    if (::GetLastError() == ERROR_PIPE_CONNECTED) {
        // A reader came between the creation and the connect: it is served at once.
        listening = std::move(instance);
        listening->overlapped.Internal = 0;
        listening->pending = true;
        ::SetEvent(listening->event.Get());
        return;
    }
    retryAt = ::GetTickCount() + RETRY_MS;
}

void StatusPipeServer::CheckListening()
{
    if (!listening || !listening->Completed())
        return;
    std::unique_ptr<Instance> reader = std::move(listening);
    reader->pending = false;
    DWORD unused = 0;
    if (reader->overlapped.Internal != 0 &&
        !::GetOverlappedResult(reader->pipe.Get(), &reader->overlapped, &unused, FALSE))
        return;  // the reader left before it was served; the instance closes here
    if (!current.empty())
        Queue(*reader, current);
    readers.push_back(std::move(reader));
}

void StatusPipeServer::Queue(Instance& reader, const std::string& frame)
{
    if (reader.dropped || frame.empty())
        return;
    if (reader.backlog.size() >= MAX_BACKLOG) {
        Drop(reader);  // a reader that does not read must not make the service keep its history
        return;
    }
    reader.backlog.push_back(frame);
    if (!reader.pending)
        StartWrite(reader);
}

void StatusPipeServer::StartWrite(Instance& reader)
{
    if (reader.backlog.empty())
        return;
    reader.writing = std::move(reader.backlog.front());
    reader.backlog.pop_front();
    if (::WriteFile(reader.pipe.Get(), reader.writing.data(), static_cast<DWORD>(reader.writing.size()), nullptr,
                    &reader.overlapped) ||
        ::GetLastError() == ERROR_IO_PENDING) {
        reader.pending = true;
        return;
    }
    Drop(reader);  // the reader is gone
}

void StatusPipeServer::CheckWrite(Instance& reader)
{
    if (reader.dropped || !reader.Completed())
        return;
    reader.pending = false;
    DWORD written = 0;
    if (!::GetOverlappedResult(reader.pipe.Get(), &reader.overlapped, &written, FALSE)) {
        Drop(reader);
        return;
    }
    StartWrite(reader);
}

void StatusPipeServer::Drop(Instance& reader)
{
    reader.dropped = true;
    reader.backlog.clear();
    ::DisconnectNamedPipe(reader.pipe.Get());
    if (reader.pending) {
        ::CancelIoEx(reader.pipe.Get(), &reader.overlapped);
        if (::WaitForSingleObject(reader.event.Get(), CANCEL_WAIT_MS) == WAIT_OBJECT_0 ||
            HasOverlappedIoCompleted(&reader.overlapped))
            reader.pending = false;
    }
    reader.pipe.Close();
}

void StatusPipeServer::NameState(DWORD error)
{
    if (error == nameError)
        return;
    nameError = error;
    ::PostThreadMessageW(owner, WM_STATUS_PIPE, error, 0);
}
