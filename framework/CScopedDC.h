// A window's device context (client area or whole window), released when the object goes out of scope.
#pragma once
#include "Afx.h"

class CScopedDC {
public:
    enum Area { CLIENT_AREA, WHOLE_WINDOW };

    explicit CScopedDC(HWND owner, Area area = CLIENT_AREA)
        : window(owner), dc(area == CLIENT_AREA ? ::GetDC(owner) : ::GetWindowDC(owner))
    {
    }
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
