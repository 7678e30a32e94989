// Test driver: finds windows and sends what a user's clicks and typing send, by control id; reads the registry.
//
// One command per line on stdin, one answer line on stdout ("ok ..." or "err ...").
// Texts travel as hex of their ANSI (Windows-1250) bytes so that no console code page interferes.
#include <windows.h>

#include <cstdio>
#include <iostream>
#include <sstream>
#include <algorithm>
#include <string>
#include <vector>

#include "uidriver_hex.h"
#include "uidriver_service.h"

namespace {

// One entry of the system's handle table (SystemHandleInformation).
struct HandleEntry {
    ULONG ownerPid;
    BYTE objectType;
    BYTE flags;
    USHORT value;
    PVOID object;
    ACCESS_MASK access;
};

long HandlesOf(DWORD process)
{
    using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQuerySystemInformation")));
    if (!query)
        return -1;
    constexpr ULONG SYSTEM_HANDLE_INFORMATION = 16;
    std::vector<char> buffer(1 << 20);
    for (int attempt = 0; attempt < 8; ++attempt) {
        ULONG needed = 0;
        const LONG status = query(SYSTEM_HANDLE_INFORMATION, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            const ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
            const auto* entries = reinterpret_cast<const HandleEntry*>(buffer.data() + sizeof(ULONG_PTR));
            long mine = 0;
            for (ULONG i = 0; i < count; ++i)
                mine += entries[i].ownerPid == process ? 1 : 0;
            return mine;
        }
        buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
    }
    return -2;
}

HWND ParseHwnd(const std::string& text) { return reinterpret_cast<HWND>(std::stoull(text, nullptr, 16)); }

std::string HwndText(HWND hwnd)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(hwnd)));
    return buffer;
}

std::string WindowText(HWND hwnd)
{
    char buffer[4096] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof buffer, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    return std::string(buffer, copied);
}

std::string ClassName(HWND hwnd)
{
    char buffer[256] = {};
    GetClassNameA(hwnd, buffer, sizeof buffer);
    return buffer;
}

struct FindRequest {
    std::string title;
    bool messageBox;  // any dialog holding a message-box text control (id 65535)
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param)
{
    auto* request = reinterpret_cast<FindRequest*>(param);
    if (ClassName(hwnd) != "#32770")
        return TRUE;
    if (request->messageBox) {
        if (GetDlgItem(hwnd, 0xFFFF) && IsWindowVisible(hwnd)) {
            request->found = hwnd;
            return FALSE;
        }
        return TRUE;
    }
    // A dialog is shown only once its initialisation has run.
    if (IsWindowVisible(hwnd) && WindowText(hwnd) == request->title) {
        request->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindDialog(const std::string& title, bool messageBox, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        FindRequest request{title, messageBox, nullptr};
        EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&request));
        if (request.found || GetTickCount() - start >= timeoutMs)
            return request.found;
        Sleep(20);
    }
}

LRESULT Send(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, msg, wp, lp, SMTO_NORMAL, 10000, &result);
    return static_cast<LRESULT>(result);
}

// Paths are the current user's, or the machine's when they begin with "HKLM\\".
HKEY RootOf(std::string& path)
{
    const std::string machine = "HKLM\\";
    if (path.compare(0, machine.size(), machine) != 0)
        return HKEY_CURRENT_USER;
    path.erase(0, machine.size());
    return HKEY_LOCAL_MACHINE;
}

HKEY OpenUserKey(std::string path, bool create)
{
    HKEY root = RootOf(path);
    HKEY key = nullptr;
    LONG rc = create ? RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr)
                     : RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key);
    // Keys under HKLM\HARDWARE live only until the system restarts, as their children must.
    if (create && rc == ERROR_CHILD_MUST_BE_VOLATILE)
        rc = RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                             nullptr);
    return rc == ERROR_SUCCESS ? key : nullptr;
}

// A file's version resource as the system reads it: "name=value" items, hex each, then the fixed version.
std::string FileVersion(const std::string& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (!size)
        return "err " + std::to_string(GetLastError());
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        return "err " + std::to_string(GetLastError());
    struct Translation {
        WORD language, codePage;
    }* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < sizeof(Translation))
        return "err notranslation";
    char prefix[64];
    std::snprintf(prefix, sizeof prefix, "\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);
    std::string answer = "ok";
    for (const char* name : {"CompanyName", "FileDescription", "FileVersion", "InternalName", "LegalCopyright",
                             "OriginalFilename", "ProductName", "ProductVersion"}) {
        char* value = nullptr;
        const std::string item = std::string(prefix).append(name);
        if (VerQueryValueA(block.data(), item.c_str(), reinterpret_cast<void**>(&value), &length))
            answer.append(" ").append(ToHex(std::string(name) + "=" + std::string(value, length ? length - 1 : 0)));
    }
    VS_FIXEDFILEINFO* fixed = nullptr;
    if (VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        char numbers[64];
        std::snprintf(numbers, sizeof numbers, "fixed=%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                      LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
        answer.append(" ").append(ToHex(numbers));
    }
    return answer;
}

std::string RegDump(const std::string& path)
{
    HKEY key = OpenUserKey(path, false);
    if (!key)
        return "err nokey";
    std::string out = "ok";
    for (DWORD i = 0;; ++i) {
        char name[512];
        DWORD nameLength = sizeof name;
        BYTE data[8192];
        DWORD dataLength = sizeof data;
        DWORD type = 0;
        if (RegEnumValueA(key, i, name, &nameLength, nullptr, &type, data, &dataLength) != ERROR_SUCCESS)
            break;
        out.append(" ").append(ToHex(std::string(name, nameLength))).append(":").append(std::to_string(type));
        out.append(":").append(ToHex(std::string(reinterpret_cast<char*>(data), dataLength)));
    }
    RegCloseKey(key);
    return out;
}

// A message of a program's message table as the event viewer of a non-Polish system reads it: the
// thread's language English, the message looked up with no language of its own; the languages the
// table is stored in come first ("0" for neutral). `insert` fills %1.
std::string FormatFromModule(const std::string& path, DWORD id, const std::string& insert)
{
    HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return "err " + std::to_string(GetLastError());
    std::string languages;
    EnumResourceLanguagesA(
        module, reinterpret_cast<LPCSTR>(RT_MESSAGETABLE), MAKEINTRESOURCEA(1),
        [](HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR param) -> BOOL {
            auto* list = reinterpret_cast<std::string*>(param);
            list->append(list->empty() ? "" : ",").append(std::to_string(language));
            return TRUE;
        },
        reinterpret_cast<LONG_PTR>(&languages));
    SetThreadUILanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
    SetThreadLocale(MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT));
    wchar_t wideInsert[512] = {};
    MultiByteToWideChar(1250, 0, insert.c_str(), -1, wideInsert, 512);
    DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(wideInsert)};
    wchar_t text[2048] = {};
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, module, id, 0, text,
                                        2048, reinterpret_cast<va_list*>(arguments));
    const DWORD error = GetLastError();
    FreeLibrary(module);
    if (!length)
        return "err " + std::to_string(error);
    char narrow[4096] = {};
    WideCharToMultiByte(1250, 0, text, static_cast<int>(length), narrow, sizeof narrow, nullptr, nullptr);
    return "ok " + (languages.empty() ? std::string("-") : languages) + " " + ToHex(narrow);
}

std::string Handle(const std::string& line)
{
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command == "find") {
        std::string title;
        DWORD timeout = 10000;
        in >> title >> timeout;
        HWND hwnd = FindDialog(FromHex(title), false, timeout);
        return hwnd ? "ok " + HwndText(hwnd) : "err notfound";
    }
    if (command == "msgbox") {
        DWORD timeout = 10000;
        in >> timeout;
        HWND hwnd = FindDialog("", true, timeout);
        if (!hwnd)
            return "err notfound";
        return "ok " + HwndText(hwnd) + " " + ToHex(WindowText(hwnd)) + " " + ToHex(WindowText(GetDlgItem(hwnd, 0xFFFF)));
    }
    if (command == "list") {
        // Visible top-level windows: handle, class and title.
        std::string out = "ok";
        EnumWindows(
            [](HWND hwnd, LPARAM param) -> BOOL {
                if (IsWindowVisible(hwnd))
                    reinterpret_cast<std::string*>(param)->append(" ").append(HwndText(hwnd)).append(":")
                        .append(ToHex(ClassName(hwnd))).append(":").append(ToHex(WindowText(hwnd)));
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&out));
        return out;
    }
    if (command == "findctl") {
        // A visible dialog holding a control with this id (for windows without a title).
        int id = 0;
        DWORD timeout = 10000;
        in >> id >> timeout;
        DWORD start = GetTickCount();
        for (;;) {
            std::pair<int, HWND> request{id, nullptr};
            EnumWindows(
                [](HWND hwnd, LPARAM param) -> BOOL {
                    auto* r = reinterpret_cast<std::pair<int, HWND>*>(param);
                    if (IsWindowVisible(hwnd) && ClassName(hwnd) == "#32770" && GetDlgItem(hwnd, r->first)) {
                        r->second = hwnd;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&request));
            if (request.second)
                return "ok " + HwndText(request.second);
            if (GetTickCount() - start >= timeout)
                return "err notfound";
            Sleep(20);
        }
    }
    if (command == "regdump") {
        std::string path;
        in >> path;
        return RegDump(FromHex(path));
    }
    if (command == "regset") {
        std::string path, name, data;
        DWORD type = 0;
        in >> path >> name >> type >> data;
        HKEY key = OpenUserKey(FromHex(path), true);
        if (!key)
            return "err nokey";
        std::string bytes = FromHex(data);
        LONG rc = RegSetValueExA(key, FromHex(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size()));
        RegCloseKey(key);
        return rc == ERROR_SUCCESS ? "ok" : "err " + std::to_string(rc);
    }
    if (command == "regdeltree") {
        std::string path;
        in >> path;
        std::string keyPath = FromHex(path);
        HKEY root = RootOf(keyPath);
        LONG rc = RegDeleteTreeA(root, keyPath.c_str());
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? "ok" : "err " + std::to_string(rc);
    }
    if (command == "regdelvalue") {
        std::string path, name;
        in >> path >> name;
        HKEY key = OpenUserKey(FromHex(path), true);
        if (!key)
            return "err nokey";
        LONG rc = RegDeleteValueA(key, FromHex(name).c_str());
        RegCloseKey(key);
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND ? "ok" : "err " + std::to_string(rc);
    }

    if (command == "fmtmsg") {
        std::string path, insert;
        DWORD id = 0;
        in >> path >> id >> insert;
        return FormatFromModule(FromHex(path), id, FromHex(insert));
    }
    std::string serviceAnswer;
    if (ServiceCommand(command, in, serviceAnswer))
        return serviceAnswer;
    if (command == "fileversion")
        return FileVersion(FromHexWord(in));
    if (command == "register")
        return "ok " + std::to_string(RegisterWindowMessageA(FromHexWord(in).c_str()));
    if (command == "foreground")
        return "ok " + HwndText(GetForegroundWindow());

    std::string hwndText;
    in >> hwndText;
    HWND window = ParseHwnd(hwndText);
    if (!IsWindow(window))
        return "err nowindow";
    if (command == "visible")
        return IsWindowVisible(window) ? "ok 1" : "ok 0";
    if (command == "rect") {
        RECT rect{};
        GetWindowRect(window, &rect);
        return "ok " + std::to_string(rect.left) + " " + std::to_string(rect.top) + " " + std::to_string(rect.right) +
               " " + std::to_string(rect.bottom);
    }
    if (command == "handles") {
        // The kernel handles the window's process holds: the system's handle table, counted for it
        // (Wine's server answers this; GetProcessHandleCount answers 0 there).
        DWORD process = 0;
        GetWindowThreadProcessId(window, &process);
        const long count = HandlesOf(process);
        return count >= 0 ? "ok " + std::to_string(count) : "err " + std::to_string(count);
    }
    if (command == "iconic")
        return IsIconic(window) ? "ok 1" : "ok 0";
    if (command == "text")
        return "ok " + ToHex(WindowText(window));
    if (command == "focus") {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        DWORD thread = GetWindowThreadProcessId(window, nullptr);
        if (!GetGUIThreadInfo(thread, &info) || !info.hwndFocus)
            return "ok 0 0 0";
        // Asked without pointers: the answer comes packed, nothing is written across processes.
        LRESULT packed = Send(info.hwndFocus, EM_GETSEL, 0, 0);
        return "ok " + std::to_string(GetDlgCtrlID(info.hwndFocus)) + " " + std::to_string(LOWORD(packed)) + " " +
               std::to_string(HIWORD(packed));
    }
    if (command == "post" || command == "send") {
        UINT msg = 0;
        unsigned long long wp = 0, lp = 0;
        in >> msg >> wp >> lp;
        if (command == "post")
            return PostMessageA(window, msg, wp, lp) ? "ok" : "err post";
        return "ok " + std::to_string(Send(window, msg, wp, lp));
    }
    if (command == "responds") {
        // Whether the window's thread takes a message within the time: a window that waits for
        // something else does not.
        unsigned timeoutMs = 0;
        in >> timeoutMs;
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &result) ? "ok" : "err timeout";
    }
    if (command == "trayexists" || command == "traydelete") {
        // An icon the shell holds can be modified; deleting it is what a shell that restarts does.
        UINT id = 0;
        in >> id;
        NOTIFYICONDATAA data{};
        data.cbSize = NOTIFYICONDATAA_V2_SIZE;
        data.hWnd = window;
        data.uID = id;
        return Shell_NotifyIconA(command == "trayexists" ? NIM_MODIFY : NIM_DELETE, &data) ? "ok 1" : "ok 0";
    }

    int id = 0;
    in >> id;
    HWND control = GetDlgItem(window, id);
    if (!control)
        return "err nocontrol";
    if (command == "clicks") {
        // Several clicks in quick succession, as a hurried user makes them; answers how many landed.
        int count = 0, landed = 0;
        in >> count;
        for (int i = 0; i < count; ++i) {
            if (IsWindowEnabled(control) && IsWindowVisible(control) && IsWindowEnabled(window)) {
                Send(control, BM_CLICK, 0, 0);
                ++landed;
            }
        }
        return "ok " + std::to_string(landed);
    }
    if (command == "click" || command == "postclick") {
        // Mouse input never reaches a disabled or hidden control, nor one in a disabled window.
        if (!IsWindowEnabled(control) || !IsWindowVisible(control) || !IsWindowEnabled(window))
            return "ok ignored";
        // A click that opens a modal box must be posted, or the sender waits for the box.
        if (command == "postclick")
            return PostMessageA(control, BM_CLICK, 0, 0) ? "ok" : "err post";
        Send(control, BM_CLICK, 0, 0);
        return "ok";
    }
    if (command == "sendctl") {
        // A message to the control itself, as its own window procedure gets it (no pointers).
        UINT msg = 0;
        unsigned long long wp = 0, lp = 0;
        in >> msg >> wp >> lp;
        return "ok " + std::to_string(Send(control, msg, wp, lp));
    }
    if (command == "gettext")
        return "ok " + ToHex(WindowText(control));
    if (command == "settext") {
        std::string hex;
        in >> hex;
        std::string text = FromHex(hex);
        Send(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        return "ok";
    }
    if (command == "enabled")
        return IsWindowEnabled(control) ? "ok 1" : "ok 0";
    if (command == "ctlvisible")
        return (GetWindowLongA(control, GWL_STYLE) & WS_VISIBLE) ? "ok 1" : "ok 0";
    if (command == "checked")
        return "ok " + std::to_string(Send(control, BM_GETCHECK, 0, 0));
    if (command == "getsel")
        return "ok " + std::to_string(static_cast<int>(Send(control, CB_GETCURSEL, 0, 0)));
    if (command == "itemtext") {
        // Asked in UTF-16: Wine hands list texts across processes only in the control's own form.
        int index = 0;
        in >> index;
        DWORD_PTR length = 0;
        SendMessageTimeoutW(control, CB_GETLBTEXTLEN, index, 0, SMTO_NORMAL, 5000, &length);
        if (static_cast<LONG_PTR>(length) < 0)
            return "err noitem";
        std::vector<wchar_t> wide(length + 1);
        SendMessageTimeoutW(control, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(wide.data()), SMTO_NORMAL, 5000,
                            &length);
        char narrow[1024] = {};
        int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(length), narrow, sizeof narrow,
                                        nullptr, nullptr);
        return "ok " + ToHex(std::string(narrow, bytes > 0 ? bytes : 0));
    }
    if (command == "count")
        return "ok " + std::to_string(static_cast<int>(Send(control, CB_GETCOUNT, 0, 0)));
    if (command == "select") {
        // What picking an entry with the mouse produces: the selection, then the notification.
        int index = 0;
        in >> index;
        Send(control, CB_SETCURSEL, index, 0);
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
        return "ok";
    }
    if (command == "key") {
        // A key press posted to the control travels through the dialog's own message loop.
        unsigned vk = 0;
        in >> vk;
        PostMessageA(control, WM_KEYDOWN, vk, 1);
        PostMessageA(control, WM_KEYUP, vk, 0xC0000001);
        return "ok";
    }
    return "err unknown " + command;
}

}  // namespace

int main()
{
    std::string line;
    while (std::getline(std::cin, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        if (line == "quit")
            break;
        std::string answer;
        try {
            answer = Handle(line);
        } catch (const std::exception& e) {
            answer = std::string("err ") + e.what();
        }
        std::fwrite(answer.data(), 1, answer.size(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }
    return 0;
}
