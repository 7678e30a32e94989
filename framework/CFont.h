// A GDI font owned by the object and deleted with it.
#pragma once
#include <utility>

#include "Afx.h"

class CFont {
public:
    CFont() = default;
    ~CFont() { DeleteObject(); }
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    bool CreateFontIndirect(const LOGFONTA& logFont)
    {
        DeleteObject();
        font = ::CreateFontIndirectA(&logFont);
        return font != nullptr;
    }
    void DeleteObject()
    {
        if (font) {
            ::DeleteObject(font);
            font = nullptr;
        }
    }
    HFONT Get() const { return font; }
    void Swap(CFont& other) { std::swap(font, other.font); }

private:
    HFONT font = nullptr;
};
