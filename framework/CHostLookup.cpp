// A host-name lookup answered by a window message, so that the thread that asked goes on dispatching.
#include "CHostLookup.h"

namespace {
constexpr UINT LOOKUP_DONE = WM_APP + 1;
constexpr const char* SINK_CLASS = "AfxHostLookupSink";
}

LRESULT CALLBACK CHostLookup::SinkProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto* self = reinterpret_cast<CHostLookup*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (message != LOOKUP_DONE || !self)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    if (reinterpret_cast<HANDLE>(wParam) == self->task) {
        self->done = true;
        self->error = WSAGETASYNCERROR(lParam);
    }
    return 0;
}

bool CHostLookup::Start(const char* host)
{
    WNDCLASSA sinkClass{};
    sinkClass.lpfnWndProc = SinkProc;
    sinkClass.hInstance = AfxCodeModule();
    sinkClass.lpszClassName = SINK_CLASS;
    ::RegisterClassA(&sinkClass);  // fails harmlessly when it is registered already
    sink = ::CreateWindowExA(0, SINK_CLASS, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, sinkClass.hInstance, nullptr);
    if (!sink)
        return false;
    ::SetWindowLongPtrA(sink, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    answer = static_cast<char*>(::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, MAXGETHOSTSTRUCT));
    if (!answer)
        return false;
    task = ::WSAAsyncGetHostByName(sink, LOOKUP_DONE, host, answer, MAXGETHOSTSTRUCT);
    return task != nullptr;
}

bool CHostLookup::Address(in_addr& address) const
{
    if (!done || error != 0)
        return false;
    const auto* entry = reinterpret_cast<const hostent*>(answer);
    if (entry->h_addrtype != AF_INET || !entry->h_addr_list || !entry->h_addr_list[0])
        return false;
    address = *reinterpret_cast<const in_addr*>(entry->h_addr_list[0]);
    return true;
}

CHostLookup::~CHostLookup()
{
    if (task && !done) {
        ::WSACancelAsyncRequest(task);
        // A cancel may come too late (and some systems do not cancel at all): the lookup may still
        // write its answer, so its buffer stays allocated. This happens only to a lookup given up on.
        answer = nullptr;
    }
    if (answer)
        ::HeapFree(::GetProcessHeap(), 0, answer);
    if (sink)
        ::DestroyWindow(sink);
    ::UnregisterClassA(SINK_CLASS, AfxCodeModule());  // fails harmlessly while another lookup has a sink
}
