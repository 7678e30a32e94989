// A static-text control that acts as a link: colours, underline, hand cursor, tooltip, opening its target.
#pragma once
#include <string>

#include "../framework/CCursorCopy.h"
#include "../framework/CFont.h"
#include "../framework/CStatic.h"
#include "../framework/CToolTipCtrl.h"

class CLinkLabel : public CStatic {
public:
    // A round or slanted last letter may paint a pixel or two past its advance; a fitted label
    // keeps this much room after its text so that the letter is not clipped.
    static constexpr int INK_ROOM = 2;

    CLinkLabel();

    void SetTarget(const std::string& value);
    void MarkVisited(bool value);
    void SetUnderlined(bool value);
    void FitToText();
    void LoadHandCursor();
    // Opens the target through the shell, else through the ".htm" command; above 32 is success.
    static int OpenLink(const std::string& target, int showCommand);
    // Default value of a key; 0 when the key opened and its value was read.
    static LONG ReadClassDefault(HKEY root, const std::string& subkey, std::string& out);
    static void ShowOpenError(int code);

    // Click: open the target, then show it visited or report the failure.
    void OnClicked();

    const COLORREF linkColour = RGB(0, 0, 238);
    const COLORREF visitedColour = RGB(85, 26, 139);
    const COLORREF hoverColour;
    bool hovering = false;
    bool visited = false;
    bool underlined = true;
    std::string target;

protected:
    void PreSubclassWindow() override;
    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    HBRUSH CtlColor(HDC dc, UINT controlType);
    BOOL OnSetCursor(HWND window, UINT hitTest, UINT message);
    void OnMouseMove(UINT flags, POINT point);

    DECLARE_MESSAGE_MAP(CLinkLabel)

private:
    void ApplyUnderline();

    CFont labelFont;
    CCursorCopy handCursor;
    CToolTipCtrl tooltip;
};
