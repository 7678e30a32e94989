// An unbuffered file opened for reading and writing; create and write failures throw CFileException.
#pragma once
#include <string>

#include "Afx.h"
#include "CHandle.h"

class CFile {
public:
    enum OpenFlags : unsigned {
        modeReadWrite = 0x0002,
        shareDenyWrite = 0x0020,  // others may open the file for reading meanwhile (a viewer), not for writing
        modeCreate = 0x1000,
        modeNoTruncate = 0x2000,  // with modeCreate: an existing file is opened as it is
    };

    // modeCreate truncates an existing file unless modeNoTruncate is given; without a share
    // flag nobody else may open the file meanwhile.
    CFile(const std::string& fileName, unsigned openFlags);

    // Every byte reaches the system before Write returns; a short or failed write throws.
    void Write(const void* data, size_t length);
    // The next Write goes after the file's last byte.
    void SeekToEnd();
    void Close() { handle.Close(); }

private:
    CHandle handle;
    std::string fileName;
};
