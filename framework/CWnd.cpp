// A window owned by the framework: its handle, message-map dispatch and the control helpers dialogs use.
#include "CWnd.h"

#include <vector>

namespace {
constexpr const char* OBJECT_PROPERTY = "AfxWndObject";
}

const AFX_MSGMAP_ENTRY CWnd::messageEntries[] = {{0, 0, 0, nullptr}};
const AFX_MSGMAP CWnd::messageMap = {nullptr, CWnd::messageEntries};

std::string CWnd::GetWindowText(HWND hwnd) const
{
    int length = ::GetWindowTextLengthA(hwnd);
    if (length <= 0)
        return {};
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    int copied = ::GetWindowTextA(hwnd, buffer.data(), length + 1);
    return std::string(buffer.data(), copied > 0 ? static_cast<size_t>(copied) : 0);
}

CWnd::~CWnd()
{
    if (originalProc && m_hWnd && ::IsWindow(m_hWnd))
        Unsubclass();
}

bool CWnd::SubclassWindow(HWND hwnd)
{
    if (!hwnd || FromHandlePermanent(hwnd))
        return false;
    m_hWnd = hwnd;
    ::SetPropA(hwnd, OBJECT_PROPERTY, this);
    PreSubclassWindow();
    originalProc = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    return true;
}

void CWnd::Unsubclass()
{
    ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(originalProc));
    ::RemovePropA(m_hWnd, OBJECT_PROPERTY);
    originalProc = nullptr;
    m_hWnd = nullptr;
}

CWnd* CWnd::FromHandlePermanent(HWND hwnd)
{
    return hwnd ? static_cast<CWnd*>(::GetPropA(hwnd, OBJECT_PROPERTY)) : nullptr;
}

bool CWnd::ReflectToChild(HWND child, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    CWnd* control = FromHandlePermanent(child);
    return control && control->OnWndMsg(WM_REFLECT_BASE + message, wParam, lParam, result);
}

LRESULT CWnd::CallDefault()
{
    defaultRequested = false;
    if (!originalProc)
        return 0;
    return ::CallWindowProcA(originalProc, m_hWnd, currentMessage.message, currentMessage.wParam,
                             currentMessage.lParam);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWnd* self = FromHandlePermanent(hwnd);
    if (!self)
        return ::DefWindowProcA(hwnd, message, wParam, lParam);
    WNDPROC original = self->originalProc;
    const MSG previous = self->currentMessage;
    self->currentMessage = MSG{hwnd, message, wParam, lParam, 0, {}};
    LRESULT result = 0;
    bool handled = false;
    try {
        handled = self->OnWndMsg(message, wParam, lParam, result);
    } catch (const std::exception& e) {
        AfxMessageBox(e.what(), MB_OK | MB_ICONEXCLAMATION);
        handled = true;
    }
    self->currentMessage = previous;
    if (message == WM_NCDESTROY) {
        self->Unsubclass();
        return ::CallWindowProcA(original, hwnd, message, wParam, lParam);
    }
    return handled ? result : ::CallWindowProcA(original, hwnd, message, wParam, lParam);
}

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->base) {
        for (const AFX_MSGMAP_ENTRY* entry = map->entries; entry->handler; ++entry) {
            if (entry->message != message)
                continue;
            if (message == WM_COMMAND && (entry->code != HIWORD(wParam) || entry->id != LOWORD(wParam)))
                continue;
            if (message == WM_REFLECT_BASE + WM_COMMAND && entry->code != HIWORD(wParam))
                continue;
            defaultRequested = false;
            result = entry->handler(this, wParam, lParam);
            return !defaultRequested;
        }
    }
    return false;
}
