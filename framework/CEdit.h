// An edit control bound to a framework object.
#pragma once
#include "CWnd.h"

class CEdit : public CWnd {
};
