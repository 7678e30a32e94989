// A window's client-area device context, released when the object goes out of scope.
#pragma once
#include "Afx.h"

class CScopedDC {
public:
    explicit CScopedDC(HWND owner) : window(owner), dc(::GetDC(owner)) {}
    ~CScopedDC()
    {
        if (dc)
            ::ReleaseDC(window, dc);
    }
    CScopedDC(const CScopedDC&) = delete;
    CScopedDC& operator=(const CScopedDC&) = delete;

    HDC Get() const { return dc; }

private:
    HWND window;
    HDC dc;
};
