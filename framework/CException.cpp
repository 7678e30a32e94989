// Base of the framework's exceptions; the window procedure reports them in a message box.
#include "CException.h"

#include "Afx.h"

void CException::ReportError() const
{
    AfxMessageBox(what(), MB_OK | MB_ICONEXCLAMATION);
}
