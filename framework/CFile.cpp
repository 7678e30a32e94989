// An unbuffered file opened for reading and writing; create and write failures throw CFileException.
#include "CFile.h"

#include "CFileException.h"

CFile::CFile(const std::string& name, unsigned openFlags) : fileName(name)
{
    const DWORD disposition = !(openFlags & modeCreate) ? OPEN_EXISTING
                              : (openFlags & modeNoTruncate) ? OPEN_ALWAYS
                                                               : CREATE_ALWAYS;
    const DWORD share = (openFlags & shareDenyWrite) ? FILE_SHARE_READ : 0;
    handle.Reset(::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle.IsValid())
        throw CFileException(CFileException::CREATE_FAILED, name, ::GetLastError());
}

void CFile::Write(const void* data, size_t length)
{
    const char* bytes = static_cast<const char*>(data);
    while (length > 0) {
        DWORD written = 0;
        const DWORD chunk = length > 0x10000000 ? 0x10000000 : static_cast<DWORD>(length);
        if (!handle.IsValid() || !::WriteFile(handle.Get(), bytes, chunk, &written, nullptr) || written == 0)
            throw CFileException(CFileException::WRITE_FAILED, fileName,
                                 handle.IsValid() ? ::GetLastError() : ERROR_INVALID_HANDLE);
        bytes += written;
        length -= written;
    }
}

void CFile::SeekToEnd()
{
    LARGE_INTEGER none{};
    if (!handle.IsValid() || !::SetFilePointerEx(handle.Get(), none, nullptr, FILE_END))
        throw CFileException(CFileException::WRITE_FAILED, fileName,
                             handle.IsValid() ? ::GetLastError() : ERROR_INVALID_HANDLE);
}
