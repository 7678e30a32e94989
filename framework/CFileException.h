// A file that could not be created or written; reported in a message box with the file's name.
#pragma once
#include "CException.h"

class CFileException : public CException {
public:
    enum Cause { CREATE_FAILED, WRITE_FAILED };
    CFileException(Cause cause, const std::string& fileName, unsigned long systemError);

    Cause cause;
    std::string fileName;
    unsigned long systemError;
};
