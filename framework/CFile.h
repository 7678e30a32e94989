// An unbuffered file opened for reading and writing; create and write failures throw CFileException.
#pragma once
#include <string>

#include "Afx.h"
#include "CHandle.h"

class CFile {
public:
    enum OpenFlags : unsigned { modeReadWrite = 0x0002, modeCreate = 0x1000 };

    // modeCreate truncates an existing file; no share flags: nobody else may open it meanwhile.
    CFile(const std::string& fileName, unsigned openFlags);

    // Every byte reaches the system before Write returns; a short or failed write throws.
    void Write(const void* data, size_t length);
    void Close() { handle.Close(); }

private:
    CHandle handle;
    std::string fileName;
};
