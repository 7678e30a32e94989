// The news window as shown: every message line shows whole in its label, or is shortened with "...".
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/CScopedDC.h"
#include "framework/CSelectedObject.h"
#include "news/CMorvekNewsDlg.h"
#include "news/resource.h"
#include "tests/LocalNoon.h"
#include "WindowWatcher.h"

namespace {
struct LabelSeen {
    std::string text;
    RECT rect{};       // in the dialog's client coordinates
    int inkRight = 0;  // last column the text paints into, drawn with the label's font from x = 0
};

// Draws the text as a static label does, on white, and finds its rightmost painted column.
int InkRight(HDC like, const std::string& text)
{
    constexpr int WIDTH = 800, HEIGHT = 40;
    HDC memory = CreateCompatibleDC(like);
    HBITMAP bitmap = CreateCompatibleBitmap(like, WIDTH, HEIGHT);
    int right = -1;
    {
        CSelectedObject surface(memory, bitmap);
        CSelectedObject font(memory, GetCurrentObject(like, OBJ_FONT));
        RECT all{0, 0, WIDTH, HEIGHT};
        FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        DrawTextA(memory, text.data(), static_cast<int>(text.size()), &all, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
        for (int x = 0; x < WIDTH; ++x)
            for (int y = 0; y < HEIGHT; ++y)
                if (GetPixel(memory, x, y) != RGB(255, 255, 255))
                    right = x;
    }
    DeleteObject(bitmap);
    DeleteDC(memory);
    return right;
}

// The news window's panel and its visible labels, top first.
bool RecordNewsWindow(HWND dialog, RECT& panel, std::vector<LabelSeen>& labels)
{
    HWND panelControl = GetDlgItem(dialog, IDC_NEWS_PANEL);
    if (!panelControl)
        return false;
    GetWindowRect(panelControl, &panel);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&panel), 2);
    for (int i = 0; i < CMorvekNewsDlg::LABEL_COUNT; ++i) {
        HWND label = GetDlgItem(dialog, IDC_NEWS_LABEL_FIRST + i);
        if (!IsWindowVisible(label))
            continue;
        LabelSeen seen{};
        char text[512] = {};
        seen.text.assign(text, GetWindowTextA(label, text, sizeof text));
        GetWindowRect(label, &seen.rect);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&seen.rect), 2);
        CScopedDC dc(label);
        CSelectedObject font(dc.Get(), reinterpret_cast<HGDIOBJ>(SendMessageA(label, WM_GETFONT, 0, 0)));
        seen.inkRight = InkRight(dc.Get(), seen.text);
        labels.push_back(seen);
    }
    return true;
}
}

TEST(NewsWindow, EveryLineFitsItsRowInTheLabelsOwnFontOrIsShortenedWithAnEllipsis)
{
    const std::vector<std::string> texts = {
        "Nowa wersja programu konfiguracyjnego",
        "Aktualizacja oprogramowania centrali",
        "Zapraszamy na szkolenie dla instalatorów",
        "Bardzo długa wiadomość, która na pewno nie zmieści się w jednym wierszu okna wiadomości, "
        "więc musi zostać skrócona wielokropkiem",
        "WWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWWW",
    };
    CNewsManager manager;
    for (std::size_t i = 0; i < texts.size(); ++i)
        manager.Append(std::make_unique<CNewsItem>(static_cast<int>(i + 1), LocalNoon(2006, 3, 1 + static_cast<int>(i)),
                                                   texts[i]));

    RECT panel{};
    std::vector<LabelSeen> labels;
    bool seen = false;
    {
        WindowWatcher watcher([&](HWND dialog) {
            if (!RecordNewsWindow(dialog, panel, labels))
                return false;
            PostMessageA(dialog, WM_COMMAND, IDOK, 0);
            return seen = true;
        });
        CMorvekNewsDlg dialog;
        dialog.manager = &manager;
        EXPECT_EQ(dialog.DoModal(), IDOK);
    }
    ASSERT_TRUE(seen);

    ASSERT_EQ(labels.size(), texts.size());
    // The bottom label holds the first item, the ones above the later ones.
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const LabelSeen& label = labels[texts.size() - 1 - i];
        const std::string whole = "2006.03.0" + std::to_string(1 + i) + ": " + texts[i];
        SCOPED_TRACE(whole);
        const bool shortened = label.text != whole;
        if (shortened) {
            ASSERT_GT(label.text.size(), 3u);
            EXPECT_EQ(label.text.substr(label.text.size() - 3), "...");
            EXPECT_EQ(whole.compare(0, label.text.size() - 3, label.text, 0, label.text.size() - 3), 0);
        }
        // The label holds every column its text paints, and stays on the panel's paper.
        EXPECT_LT(label.inkRight, label.rect.right - label.rect.left);
        EXPECT_GE(label.rect.left, panel.left);
        EXPECT_LE(label.rect.right, panel.right);
    }
    // The short lines stay whole; the long ones do not.
    EXPECT_EQ(labels[4].text, "2006.03.01: " + texts[0]);
    EXPECT_NE(labels[1].text.find("..."), std::string::npos);
    EXPECT_NE(labels[0].text.find("..."), std::string::npos);
}
