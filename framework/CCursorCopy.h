// A private copy of a cursor, destroyed with the object.
#pragma once
#include "Afx.h"

class CCursorCopy {
public:
    CCursorCopy() = default;
    ~CCursorCopy()
    {
        if (cursor)
            ::DestroyCursor(cursor);
    }
    CCursorCopy(const CCursorCopy&) = delete;
    CCursorCopy& operator=(const CCursorCopy&) = delete;

    // Keeps a copy, so that it stays valid after the module it came from is unloaded.
    void CopyFrom(HCURSOR original) { cursor = reinterpret_cast<HCURSOR>(::CopyIcon(reinterpret_cast<HICON>(original))); }
    HCURSOR Get() const { return cursor; }

private:
    HCURSOR cursor = nullptr;
};
