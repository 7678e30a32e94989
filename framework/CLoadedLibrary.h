// A module loaded by path, freed when the object goes out of scope.
#pragma once
#include "Afx.h"

class CLoadedLibrary {
public:
    explicit CLoadedLibrary(const char* path) : module(::LoadLibraryA(path)) {}
    ~CLoadedLibrary()
    {
        if (module)
            ::FreeLibrary(module);
    }
    CLoadedLibrary(const CLoadedLibrary&) = delete;
    CLoadedLibrary& operator=(const CLoadedLibrary&) = delete;

    HMODULE Get() const { return module; }

private:
    HMODULE module;
};
