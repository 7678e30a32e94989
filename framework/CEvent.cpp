// A Win32 event object, closed when the object goes out of scope.
#include "CEvent.h"

#include "CException.h"

CEvent::CEvent(bool initiallySignalled, bool manualReset)
{
    handle.Reset(::CreateEventA(nullptr, manualReset ? TRUE : FALSE, initiallySignalled ? TRUE : FALSE, nullptr));
    if (!handle.IsValid())
        throw CException("Brak zasobów systemowych.");
}
