// A window owned by the framework: its handle, message-map dispatch and the control helpers dialogs use.
#include "CWnd.h"

#include <vector>

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

bool CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    for (const AFX_MSGMAP* map = GetMessageMap(); map; map = map->base) {
        for (const AFX_MSGMAP_ENTRY* entry = map->entries; entry->handler; ++entry) {
            if (entry->message != message)
                continue;
            if (message == WM_COMMAND && (entry->code != HIWORD(wParam) || entry->id != LOWORD(wParam)))
                continue;
            defaultRequested = false;
            result = entry->handler(this, wParam, lParam);
            return !defaultRequested;
        }
    }
    return false;
}
