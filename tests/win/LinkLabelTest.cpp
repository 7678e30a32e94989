// The link label in a real window: attach, fitting, hover with capture, and a failed open's error box.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "framework/CRegKey.h"
#include "framework/CScopedDC.h"
#include "framework/CSelectedObject.h"
#include "news/CLinkLabel.h"
#include "news/LinkText.h"
#include "WindowWatcher.h"

namespace {
class LinkLabelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        parent = CreateWindowExA(0, "STATIC", "parent", WS_POPUP | WS_VISIBLE, 0, 0, 400, 200, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_TRUE(parent);
    }
    void TearDown() override { DestroyWindow(parent); }

    HWND MakeStatic(const char* text)
    {
        return CreateWindowExA(0, "STATIC", text, WS_CHILD | WS_VISIBLE | SS_LEFT | SS_CENTERIMAGE, 10, 10, 300, 30,
                               parent, reinterpret_cast<HMENU>(11245), nullptr, nullptr);
    }

    HWND parent = nullptr;
};

// Closes the next message box of this process and keeps its text.
std::function<bool(HWND)> CloseBoxKeepingText(std::string& text)
{
    return [&text](HWND hwnd) {
        char className[32] = {};
        GetClassNameA(hwnd, className, sizeof className);
        HWND message = GetDlgItem(hwnd, 0xFFFF);
        if (std::string(className) != "#32770" || !message)
            return false;
        char buffer[512] = {};
        GetWindowTextA(message, buffer, sizeof buffer);
        text = buffer;
        PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        return true;
    };
}

void SetClassDefault(const std::string& key, const std::string& value)
{
    CRegKey handle;
    ASSERT_EQ(handle.Create(HKEY_CLASSES_ROOT, key, KEY_ALL_ACCESS), ERROR_SUCCESS);
    handle.SetString(nullptr, value);
}
}

TEST_F(LinkLabelTest, AnEmptyLabelHidesAtAttachAndATargetFitsItToItsText)
{
    HWND control = MakeStatic("");
    CLinkLabel label;
    ASSERT_TRUE(label.SubclassWindow(control));
    EXPECT_FALSE(IsWindowVisible(control));
    EXPECT_TRUE(label.target.empty());
    EXPECT_TRUE(GetWindowLongA(control, GWL_STYLE) & SS_NOTIFY);

    ShowWindow(control, SW_SHOW);
    label.SetWindowText("2006.05.20: Zapraszamy");
    label.SetTarget("http://www.example.com/");
    RECT rect;
    GetWindowRect(control, &rect);
    SIZE extent{};
    {
        CScopedDC dc(control);
        CSelectedObject font(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32A(dc.Get(), "2006.05.20: Zapraszamy", 22, &extent);
    }
    EXPECT_EQ(rect.right - rect.left, extent.cx + CLinkLabel::INK_ROOM);
    // Centred on its old row: 30 pixels high before, the text height now.
    EXPECT_EQ(rect.bottom - rect.top, 30 - 2 * ((30 - extent.cy) / 2));
}

TEST_F(LinkLabelTest, HoveringAndLeavingLeavesNoCaptureHeld)
{
    HWND control = MakeStatic("etykieta");
    CLinkLabel label;
    ASSERT_TRUE(label.SubclassWindow(control));
    SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(label.hovering);
    EXPECT_EQ(GetCapture(), control);
    SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(2, 3));
    EXPECT_TRUE(label.hovering);
    SendMessageA(control, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(-5), static_cast<WORD>(-5)));
    EXPECT_FALSE(label.hovering);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(LinkLabelTest, AFailedOpenShowsTheTableTextAndClearsVisited)
{
    // The shell cannot open a missing file, and the ".htm" command names a program that is not there.
    std::string previousClass;
    const bool hadClass = CLinkLabel::ReadClassDefault(HKEY_CLASSES_ROOT, ".htm", previousClass) == ERROR_SUCCESS;
    SetClassDefault(".htm", "vextortest.htmfile");
    SetClassDefault("vextortest.htmfile\\shell\\open\\command", "\"C:\\no\\such\\browser.exe\" \"%1\" -nohome");

    HWND control = MakeStatic("etykieta");
    CLinkLabel label;
    ASSERT_TRUE(label.SubclassWindow(control));
    label.SetTarget("C:\\no\\such\\place\\page.htm");
    label.MarkVisited(true);
    std::string shown;
    {
        WindowWatcher closer(CloseBoxKeepingText(shown));
        label.OnClicked();
    }
    EXPECT_FALSE(label.visited);
    EXPECT_TRUE(shown == LinkText::OpenErrorMessage(2) || shown == LinkText::OpenErrorMessage(3)) << shown;

    if (hadClass)
        SetClassDefault(".htm", previousClass);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "vextortest.htmfile");
}
