// Thrown after a failure the user has already been told about (a data-exchange check).
#pragma once
#include "CException.h"

class CUserException : public CException {
public:
    CUserException() : CException("") {}
    void ReportError() const override {}
};
