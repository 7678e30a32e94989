// A GDI object selected into a device context; the previous one is selected back on scope exit.
#pragma once
#include "Afx.h"

class CSelectedObject {
public:
    CSelectedObject(HDC context, HGDIOBJ object)
        : dc(context), previous(context && object ? ::SelectObject(context, object) : nullptr)
    {
    }
    ~CSelectedObject()
    {
        if (previous)
            ::SelectObject(dc, previous);
    }
    CSelectedObject(const CSelectedObject&) = delete;
    CSelectedObject& operator=(const CSelectedObject&) = delete;

private:
    HDC dc;
    HGDIOBJ previous;
};
