// The link label in a real window: attach, fitting, hover with capture, and a failed open's error box.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "framework/CRegKey.h"
#include "framework/CScopedDC.h"
#include "framework/CSelectedObject.h"
#include "news/CLinkLabel.h"
#include "news/LinkText.h"

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
class BoxCloser {
public:
    BoxCloser()
        : worker([this] {
              for (int i = 0; i < 1000 && !done; ++i) {
                  EnumWindows(&BoxCloser::Visit, reinterpret_cast<LPARAM>(this));
                  if (!done)
                      Sleep(10);
              }
          })
    {
    }
    ~BoxCloser() { worker.join(); }
    std::string text;
    std::atomic<bool> done{false};

private:
    static BOOL CALLBACK Visit(HWND hwnd, LPARAM param)
    {
        auto* self = reinterpret_cast<BoxCloser*>(param);
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        char className[32] = {};
        GetClassNameA(hwnd, className, sizeof className);
        HWND message = GetDlgItem(hwnd, 0xFFFF);
        if (process != GetCurrentProcessId() || std::string(className) != "#32770" || !message)
            return TRUE;
        char text[512] = {};
        GetWindowTextA(message, text, sizeof text);
        self->text = text;
        PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
        self->done = true;
        return FALSE;
    }
    std::thread worker;
};

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
        BoxCloser closer;
        label.OnClicked();
        shown = closer.text;
    }
    EXPECT_FALSE(label.visited);
    EXPECT_TRUE(shown == LinkText::OpenErrorMessage(2) || shown == LinkText::OpenErrorMessage(3)) << shown;

    if (hadClass)
        SetClassDefault(".htm", previousClass);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, "vextortest.htmfile");
}
