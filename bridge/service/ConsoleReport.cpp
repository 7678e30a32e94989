// A verb's notes and failure for whoever started the program: its standard handles, else the parent's console.
#include "ConsoleReport.h"

namespace {
HANDLE Usable(DWORD which)
{
    HANDLE handle = ::GetStdHandle(which);
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE || ::GetFileType(handle) == FILE_TYPE_UNKNOWN)
        return nullptr;
    return handle;
}
}

ConsoleReport::ConsoleReport() : out(Usable(STD_OUTPUT_HANDLE)), err(Usable(STD_ERROR_HANDLE))
{
    if (!out && !err && ::AttachConsole(ATTACH_PARENT_PROCESS)) {
        attached = true;
        console.Reset(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
        if (console.IsValid())
            out = err = console.Get();
    }
    // One inherited handle serves for both.
    if (!out)
        out = err;
    if (!err)
        err = out;
}

ConsoleReport::~ConsoleReport()
{
    console.Close();
    if (attached)
        ::FreeConsole();
}

void ConsoleReport::Write(HANDLE handle, const std::wstring& text)
{
    if (!handle)
        return;
    const std::wstring line = text + L"\r\n";
    DWORD mode = 0, written = 0;
    // A console takes UTF-16 whatever its code page; a file or pipe gets UTF-8.
    if (::GetConsoleMode(handle, &mode)) {
        ::WriteConsoleW(handle, line.c_str(), static_cast<DWORD>(line.size()), &written, nullptr);
        return;
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr,
                                           nullptr);
    std::string bytes(static_cast<size_t>(size > 0 ? size : 0), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), bytes.data(), size, nullptr, nullptr);
    ::WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}
