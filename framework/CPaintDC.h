// The BeginPaint/EndPaint pair of one WM_PAINT, ended when the object goes out of scope.
#pragma once
#include "Afx.h"

class CPaintDC {
public:
    explicit CPaintDC(HWND paintedWindow) : window(paintedWindow), dc(::BeginPaint(paintedWindow, &paint)) {}
    ~CPaintDC() { ::EndPaint(window, &paint); }
    CPaintDC(const CPaintDC&) = delete;
    CPaintDC& operator=(const CPaintDC&) = delete;

    HDC Get() const { return dc; }

private:
    HWND window;
    PAINTSTRUCT paint{};
    HDC dc;
};
