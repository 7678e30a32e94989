// A handle of the service manager or of one service, closed when the object goes out of scope.
#pragma once
#include "../../framework/Afx.h"

#include <winsvc.h>

class ServiceHandle {
public:
    explicit ServiceHandle(SC_HANDLE value = nullptr) : handle(value) {}
    ~ServiceHandle()
    {
        if (handle)
            ::CloseServiceHandle(handle);
    }
    ServiceHandle(const ServiceHandle&) = delete;
    ServiceHandle& operator=(const ServiceHandle&) = delete;

    void Reset(SC_HANDLE value)
    {
        if (handle)
            ::CloseServiceHandle(handle);
        handle = value;
    }
    SC_HANDLE Get() const { return handle; }
    explicit operator bool() const { return handle != nullptr; }

private:
    SC_HANDLE handle;
};
