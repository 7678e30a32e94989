// A kernel handle (file, port) that is closed when the object goes out of scope.
#pragma once
#include "Afx.h"

class CHandle {
public:
    CHandle() = default;
    ~CHandle() { Close(); }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    void Reset(HANDLE value)
    {
        Close();
        handle = value;
    }
    void Close()
    {
        if (IsValid())
            ::CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    bool IsValid() const { return handle != INVALID_HANDLE_VALUE && handle != nullptr; }
    HANDLE Get() const { return handle; }

private:
    HANDLE handle = INVALID_HANDLE_VALUE;
};
