// A static-text control that acts as a link: colours, underline, hand cursor, tooltip, opening its target.
#include "CLinkLabel.h"

#include <shellapi.h>

#include "../framework/CLoadedLibrary.h"
#include "../framework/CRegKey.h"
#include "../framework/CScopedDC.h"
#include "../framework/CSelectedObject.h"
#include "LinkText.h"

namespace {
constexpr UINT TOOL_ID = 1;
constexpr UINT REDRAW_NOW = RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW;
}

BEGIN_MESSAGE_MAP(CLinkLabel, CStatic)
    ON_CONTROL_REFLECT(STN_CLICKED, OnClicked)
    ON_WM_CTLCOLOR_REFLECT()
    ON_WM_SETCURSOR()
    ON_WM_MOUSEMOVE()
END_MESSAGE_MAP()

CLinkLabel::CLinkLabel() : hoverColour(::GetSysColor(COLOR_HIGHLIGHT)) {}

bool CLinkLabel::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    // The tooltip sees the label's mouse messages before the label handles them.
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST)
        tooltip.RelayEvent(MSG{m_hWnd, message, wParam, lParam, static_cast<DWORD>(::GetMessageTime()), {}});
    return CStatic::OnWndMsg(message, wParam, lParam, result);
}

void CLinkLabel::PreSubclassWindow()
{
    ::SetWindowLongA(m_hWnd, GWL_STYLE, ::GetWindowLongA(m_hWnd, GWL_STYLE) | SS_NOTIFY);
    const std::string text = GetWindowText();
    if (target.empty())
        target = text;
    if (text.empty())
        ShowWindow(SW_HIDE);
    ApplyUnderline();
    FitToText();
    LoadHandCursor();
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (tooltip.Create(m_hWnd))
        tooltip.AddTool(m_hWnd, target, client, TOOL_ID);
    CStatic::PreSubclassWindow();
}

void CLinkLabel::ApplyUnderline()
{
    HFONT current = GetFont();
    LOGFONTA logFont{};
    ::GetObjectA(current ? current : ::GetStockObject(SYSTEM_FONT), sizeof logFont, &logFont);
    logFont.lfUnderline = underlined ? TRUE : FALSE;
    // The new font is in place before the old one is deleted (with `fresh`, at the end).
    CFont fresh;
    if (!fresh.CreateFontIndirect(logFont))
        return;
    ::SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(fresh.Get()), TRUE);
    labelFont.Swap(fresh);
}

void CLinkLabel::SetTarget(const std::string& value)
{
    target = value;
    if (!m_hWnd)
        return;
    FitToText();
    tooltip.UpdateTipText(target, m_hWnd, TOOL_ID);
}

void CLinkLabel::MarkVisited(bool value)
{
    visited = value;
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CLinkLabel::SetUnderlined(bool value)
{
    underlined = value;
    if (!m_hWnd)
        return;
    ApplyUnderline();
    ::InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CLinkLabel::FitToText()
{
    if (!m_hWnd)
        return;
    RECT rect;
    ::GetWindowRect(m_hWnd, &rect);
    if (HWND parent = ::GetParent(m_hWnd))
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
    const std::string text = GetWindowText();
    SIZE extent{};
    {
        CScopedDC dc(m_hWnd);
        CSelectedObject font(dc.Get(), labelFont.Get());
        ::GetTextExtentPoint32A(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
    }

    if (extent.cx > 0)
        extent.cx += INK_ROOM;
    const LONG style = ::GetWindowLongA(m_hWnd, GWL_STYLE);
    if (style & SS_CENTERIMAGE) {
        const LONG shift = (rect.bottom - rect.top - extent.cy) / 2;
        rect.top += shift;
        rect.bottom -= shift;
    } else {
        rect.bottom = rect.top + extent.cy;
    }
    if ((style & SS_TYPEMASK) == SS_CENTER) {
        const LONG shift = (rect.right - rect.left - extent.cx) / 2;
        rect.left += shift;
        rect.right -= shift;
    } else if ((style & SS_TYPEMASK) == SS_RIGHT) {
        rect.left = rect.right - extent.cx;
    } else {
        rect.right = rect.left + extent.cx;
    }
    ::SetWindowPos(m_hWnd, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOZORDER);
}

void CLinkLabel::LoadHandCursor()
{
    if (handCursor.Get())
        return;
    char path[MAX_PATH + 16] = {};
    ::GetWindowsDirectoryA(path, MAX_PATH);
    lstrcatA(path, "\\winhlp32.exe");
    CLoadedLibrary help(path);
    if (help.Get()) {
        if (HCURSOR cursor = ::LoadCursorA(help.Get(), MAKEINTRESOURCEA(106)))
            handCursor.CopyFrom(cursor);
    }
}

HBRUSH CLinkLabel::CtlColor(HDC dc, UINT)
{
    ::SetTextColor(dc, hovering ? hoverColour : visited ? visitedColour : linkColour);
    ::SetBkMode(dc, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

BOOL CLinkLabel::OnSetCursor(HWND, UINT, UINT)
{
    if (!handCursor.Get())
        return FALSE;
    ::SetCursor(handCursor.Get());
    return TRUE;
}

void CLinkLabel::OnMouseMove(UINT, POINT point)
{
    CallDefault();
    if (hovering) {
        RECT client;
        ::GetClientRect(m_hWnd, &client);
        if (!::PtInRect(&client, point)) {
            hovering = false;
            ::ReleaseCapture();
            ::RedrawWindow(m_hWnd, nullptr, nullptr, REDRAW_NOW);
        }
    } else {
        hovering = true;
        ::RedrawWindow(m_hWnd, nullptr, nullptr, REDRAW_NOW);
        ::SetCapture(m_hWnd);
    }
}

void CLinkLabel::OnClicked()
{
    const int result = OpenLink(target, SW_SHOW);
    visited = result > 32;
    if (visited) {
        MarkVisited(true);
    } else {
        ::MessageBeep(MB_ICONEXCLAMATION);
        ShowOpenError(result);
    }
}

int CLinkLabel::OpenLink(const std::string& target, int showCommand)
{
    const int result = static_cast<int>(reinterpret_cast<INT_PTR>(
        ::ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, showCommand)));
    if (static_cast<unsigned>(result) > 32)
        return result;
    std::string key;
    if (ReadClassDefault(HKEY_CLASSES_ROOT, ".htm", key) != ERROR_SUCCESS)
        return result;
    std::string command;
    if (ReadClassDefault(HKEY_CLASSES_ROOT, key + "\\shell\\open\\command", command) != ERROR_SUCCESS)
        return result;
    // A target too long for a command line is not started; the shell's answer stands.
    const auto line = LinkText::HtmCommandLine(command, target);
    if (!line)
        return result;
    return static_cast<int>(::WinExec(line->c_str(), static_cast<UINT>(showCommand)));
}

LONG CLinkLabel::ReadClassDefault(HKEY root, const std::string& subkey, std::string& out)
{
    CRegKey key;
    const LONG opened = key.Open(root, subkey, KEY_QUERY_VALUE);
    if (opened != ERROR_SUCCESS)
        return opened;
    char value[MAX_PATH] = {};
    LONG size = sizeof value;
    // A key that opens but whose value cannot be read is a failure too, never undefined text.
    const LONG read = ::RegQueryValueA(key.Get(), nullptr, value, &size);
    if (read != ERROR_SUCCESS)
        return read;
    value[sizeof value - 1] = '\0';
    out = value;
    return ERROR_SUCCESS;
}

void CLinkLabel::ShowOpenError(int code)
{
    AfxMessageBox(LinkText::OpenErrorMessage(code), MB_OK | MB_ICONEXCLAMATION);
}
