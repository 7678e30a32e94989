// A static-text control bound to a framework object.
#pragma once
#include "CWnd.h"

class CStatic : public CWnd {
};
