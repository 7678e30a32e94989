// The UI driver's service and pipe commands: the service manager's state, a pipe's descriptor, readers and squatters.
//
//   svcstate NAME            "ok STATE EXITCODE PID" or "err nosvc"
//   svccontrol NAME CODE     sends a control code (Wine's sc has no "control"): "ok" or "err ERROR"
//   pipesddl NAME            the pipe's DACL as SDDL, read back from a client handle
//   sddl TEXT                the same text through the system's parser and back: its canonical form
//   pipehold NAME            a reader that never reads: "ok ID SERVERPID"
//   pipepeek ID              "ok N" bytes waiting, or "ok broken" once the server dropped it
//   piperelease ID           closes a held reader or a squatter
//   pipesquat NAME FRAME     serves NAME first (one instance), telling each client FRAME: "ok ID"
//   startlimited EXE DIR     starts EXE as the user without elevation (the token's linked one): "ok PID"
//   endprocess PID           ends a process started so
// Names and texts are hex (see uidriver_hex.h).
#include "uidriver_service.h"

#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <map>
#include <memory>
#include <thread>

#include "uidriver_hex.h"

namespace {
std::wstring Wide(const std::string& text)
{
    return std::wstring(text.begin(), text.end());
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

std::string Error()
{
    return "err " + std::to_string(GetLastError());
}

std::string ServiceState(const std::string& name)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return Error();
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_QUERY_STATUS);
    std::string answer = service ? "" : GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST ? "err nosvc" : "err open";
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (service) {
        answer = QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                                      &needed)
                     ? "ok " + std::to_string(status.dwCurrentState) + " " + std::to_string(status.dwWin32ExitCode) +
                           " " + std::to_string(status.dwProcessId)
                     : "err query";
        CloseServiceHandle(service);
    }
    CloseServiceHandle(manager);
    return answer;
}

std::string ServiceControl(const std::string& name, DWORD code)
{
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
    if (!manager)
        return Error();
    SC_HANDLE service = OpenServiceA(manager, name.c_str(), SERVICE_PAUSE_CONTINUE | SERVICE_STOP);
    std::string answer = service ? "ok" : Error();
    SERVICE_STATUS status{};
    if (service && !ControlService(service, code, &status))
        answer = Error();
    if (service)
        CloseServiceHandle(service);
    CloseServiceHandle(manager);
    return answer;
}

HANDLE OpenReader(const std::string& name, DWORD access)
{
    return CreateFileW(Wide(name).c_str(), access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

std::string DaclText(PSECURITY_DESCRIPTOR descriptor)
{
    wchar_t* text = nullptr;
    if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                              &text, nullptr))
        return Error();
    const std::string answer = "ok " + ToHex(Narrow(text));
    LocalFree(text);
    return answer;
}

std::string PipeSddl(const std::string& name)
{
    HANDLE pipe = OpenReader(name, GENERIC_READ);
    if (pipe == INVALID_HANDLE_VALUE)
        return Error();
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD rc = GetSecurityInfo(pipe, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr,
                                     nullptr, &descriptor);
    CloseHandle(pipe);
    if (rc != ERROR_SUCCESS)
        return "err " + std::to_string(rc);
    const std::string answer = DaclText(descriptor);
    LocalFree(descriptor);
    return answer;
}

std::string Canonical(const std::string& sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(Wide(sddl).c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return Error();
    const std::string answer = DaclText(descriptor);
    LocalFree(descriptor);
    return answer;
}

// A program that made the pipe's name first: it serves one client at a time, tells each the
// frame it was given, and waits for it to leave.
struct Squatter {
    HANDLE pipe = INVALID_HANDLE_VALUE;
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::thread thread;

    void Serve(const std::string& frame)
    {
        HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        for (;;) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = event;
            if (!ConnectNamedPipe(pipe, &overlapped) && GetLastError() == ERROR_IO_PENDING) {
                HANDLE waits[] = {event, quit};
                if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
                    break;
            }
            DWORD count = 0;
            WriteFile(pipe, frame.data(), static_cast<DWORD>(frame.size()), &count, nullptr);
            // Until the client leaves: a read that ends when it closes.
            char byte;
            OVERLAPPED reading{};
            reading.hEvent = event;
            if (!ReadFile(pipe, &byte, 1, nullptr, &reading) && GetLastError() == ERROR_IO_PENDING) {
                HANDLE waits[] = {event, quit};
                if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0)
                    break;
            }
            DisconnectNamedPipe(pipe);
        }
        CancelIo(pipe);
        CloseHandle(event);
    }

    ~Squatter()
    {
        SetEvent(quit);
        if (thread.joinable())
            thread.join();
        CloseHandle(pipe);
        CloseHandle(quit);
    }
};

std::map<int, HANDLE> readers;
std::map<int, std::unique_ptr<Squatter>> squatters;
int nextId = 1;

std::string Squat(const std::string& name, const std::string& frame)
{
    auto squatter = std::make_unique<Squatter>();
    squatter->pipe = CreateNamedPipeW(Wide(name).c_str(), PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED, PIPE_TYPE_BYTE, 1,
                                      4096, 4096, 0, nullptr);
    if (squatter->pipe == INVALID_HANDLE_VALUE)
        return Error();
    Squatter* serving = squatter.get();
    squatter->thread = std::thread([serving, frame] { serving->Serve(frame); });
    squatters[nextId] = std::move(squatter);
    return "ok " + std::to_string(nextId++);
}

std::string Hold(const std::string& name)
{
    HANDLE pipe = OpenReader(name, GENERIC_READ);
    if (pipe == INVALID_HANDLE_VALUE)
        return Error();
    ULONG server = 0;
    GetNamedPipeServerProcessId(pipe, &server);
    readers[nextId] = pipe;
    return "ok " + std::to_string(nextId++) + " " + std::to_string(server);
}

std::string Peek(int id)
{
    const auto reader = readers.find(id);
    if (reader == readers.end())
        return "err noreader";
    DWORD waiting = 0;
    if (!PeekNamedPipe(reader->second, nullptr, 0, nullptr, &waiting, nullptr))
        return "ok broken";
    return "ok " + std::to_string(waiting);
}

// What a user who is not an administrator would start: the filtered token that UAC links to an
// administrator's own.
std::string StartLimited(const std::string& exe, const std::string& directory)
{
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return Error();
    TOKEN_LINKED_TOKEN linked{};
    DWORD size = 0;
    const BOOL haveLinked = GetTokenInformation(token, TokenLinkedToken, &linked, sizeof linked, &size);
    CloseHandle(token);
    if (!haveLinked)
        return Error();
    HANDLE primary = nullptr;
    const BOOL duplicated =
        DuplicateTokenEx(linked.LinkedToken, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary, &primary);
    CloseHandle(linked.LinkedToken);
    if (!duplicated)
        return Error();
    std::wstring command = L"\"" + Wide(exe) + L"\"";
    const std::wstring folder = Wide(directory);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    const BOOL started = CreateProcessAsUserW(primary, nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                              folder.c_str(), &startup, &process);
    const std::string answer = started ? "ok " + std::to_string(process.dwProcessId) : Error();
    CloseHandle(primary);
    if (started) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return answer;
}

std::string EndProcess(DWORD id)
{
    HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
    if (!process)
        return "ok gone";
    TerminateProcess(process, 1);
    const bool ended = WaitForSingleObject(process, 10000) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended ? "ok" : "err running";
}

std::string Release(int id)
{
    if (const auto reader = readers.find(id); reader != readers.end()) {
        CloseHandle(reader->second);
        readers.erase(reader);
        return "ok";
    }
    return squatters.erase(id) ? "ok" : "err noid";
}
}

bool ServiceCommand(const std::string& command, std::istream& in, std::string& answer)
{
    int id = 0;
    if (command == "svcstate") {
        answer = ServiceState(FromHexWord(in));
    } else if (command == "svccontrol") {
        const std::string name = FromHexWord(in);
        DWORD code = 0;
        in >> code;
        answer = ServiceControl(name, code);
    } else if (command == "pipesddl") {
        answer = PipeSddl(FromHexWord(in));
    } else if (command == "sddl") {
        answer = Canonical(FromHexWord(in));
    } else if (command == "pipehold") {
        answer = Hold(FromHexWord(in));
    } else if (command == "pipepeek" && in >> id) {
        answer = Peek(id);
    } else if (command == "piperelease" && in >> id) {
        answer = Release(id);
    } else if (command == "startlimited") {
        const std::string exe = FromHexWord(in);
        answer = StartLimited(exe, FromHexWord(in));
    } else if (command == "endprocess" && in >> id) {
        answer = EndProcess(static_cast<DWORD>(id));
    } else if (command == "pipesquat") {
        const std::string name = FromHexWord(in);
        answer = Squat(name, FromHexWord(in));
    } else {
        return false;
    }
    return true;
}
