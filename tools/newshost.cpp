// Demo host for MorvekNews.dll: a window of its own that loads the library and calls its exports
// the way the maker's configuration program would, printing each result.
//
// newshost.exe [--out FILE] [--dll PATH] [--stay] [--hidden] COMMAND...
// Commands, run in order once the window is up:
//   load  init  close  show:N  config  get  set:N  unload
// Each prints "<command> <result>" (to FILE as well, line by line). Without --stay the host
// unloads the library (if loaded) and ends after the last command.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
using NoArgument = int(WINAPI*)();
using OneArgument = int(WINAPI*)(int);

struct Host {
    std::vector<std::string> commands;
    std::string outPath = "newshost.txt";
    std::string dllPath = "MorvekNews.dll";
    bool stay = false;
    bool hidden = false;
    HMODULE library = nullptr;
    HWND window = nullptr;
} host;

void Report(const std::string& line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    if (FILE* out = std::fopen(host.outPath.c_str(), "a")) {
        std::fprintf(out, "%s\n", line.c_str());
        std::fclose(out);
    }
}

FARPROC Export(const char* name)
{
    return host.library ? GetProcAddress(host.library, name) : nullptr;
}

std::string Run(const std::string& command)
{
    const size_t colon = command.find(':');
    const std::string verb = command.substr(0, colon);
    const int argument = colon == std::string::npos ? 0 : std::atoi(command.c_str() + colon + 1);
    if (verb == "load") {
        host.library = LoadLibraryA(host.dllPath.c_str());
        return host.library ? "ok" : "failed " + std::to_string(GetLastError());
    }
    if (verb == "quit") {
        // A host that is told to end while the library works: its quit comes during the next call.
        PostQuitMessage(0);
        return "posted";
    }
    if (verb == "unload") {
        const bool freed = host.library && FreeLibrary(host.library);
        host.library = nullptr;
        if (freed && GetModuleHandleA("MorvekNews.dll"))
            return "still-loaded";
        return freed ? "ok" : "failed";
    }
    const char* names[][2] = {{"init", "MorvekNewsInit"},   {"close", "MorvekNewsClose"},
                              {"show", "MorvekNewsShow"},   {"config", "MorvekNewsConfig"},
                              {"get", "MorvekNewsGetShowNewsFlag"}, {"set", "MorvekNewsSetShowNewsFlag"}};
    for (const auto& name : names) {
        if (verb != name[0])
            continue;
        FARPROC function = Export(name[1]);
        if (!function)
            return "missing";
        if (verb == "show" || verb == "set")
            return std::to_string(reinterpret_cast<OneArgument>(reinterpret_cast<void (*)()>(function))(argument));
        return std::to_string(reinterpret_cast<NoArgument>(reinterpret_cast<void (*)()>(function))());
    }
    return "unknown";
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        const char text[] = "Program konfiguracyjny (host biblioteki MorvekNews)";
        TextOutA(dc, 12, 12, text, sizeof text - 1);
        EndPaint(hwnd, &paint);
        return 0;
    }
    case WM_DESTROY:
        if (host.library)
            FreeLibrary(host.library);
        host.library = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}
}  // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--out" && i + 1 < argc)
            host.outPath = argv[++i];
        else if (arg == "--dll" && i + 1 < argc)
            host.dllPath = argv[++i];
        else if (arg == "--stay")
            host.stay = true;
        else if (arg == "--hidden")
            host.hidden = true;
        else
            host.commands.push_back(arg);
    }
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "NewsHostWindow";
    RegisterClassA(&windowClass);
    host.window = CreateWindowExA(0, windowClass.lpszClassName, "Host biblioteki MorvekNews", WS_OVERLAPPEDWINDOW,
                                  0, 0, 640, 480, nullptr, nullptr, windowClass.hInstance, nullptr);
    // Hidden, the host owns no window of the library's (Wine under Xvfb leaves an owned window
    // unpainted where it covers its owner, so a screenshot needs this).
    if (!host.hidden) {
        ShowWindow(host.window, SW_SHOW);
        SetForegroundWindow(host.window);
    }
    // The window settles (painted, active) before the library's modal windows take it as owner;
    // the commands then run from the program's main line, as a host's menu handler would.
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    for (const std::string& command : host.commands)
        Report(command + " " + Run(command));
    Report("done");
    if (!host.stay)
        DestroyWindow(host.window);
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 0;
}
