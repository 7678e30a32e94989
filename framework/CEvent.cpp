// A Win32 event object, closed when the object goes out of scope.
#include "CEvent.h"

#include "CException.h"

CEvent::CEvent(bool initiallySignalled, bool manualReset)
    : handle(::CreateEventA(nullptr, manualReset ? TRUE : FALSE, initiallySignalled ? TRUE : FALSE, nullptr))
{
    if (!handle)
        throw CException("Brak zasobów systemowych.");
}

CEvent::~CEvent()
{
    ::CloseHandle(handle);
}
