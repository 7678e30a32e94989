// A file that could not be created or written; reported in a message box with the file's name.
#include "CFileException.h"

namespace {
std::string Describe(CFileException::Cause cause, const std::string& fileName, unsigned long systemError)
{
    std::string text = cause == CFileException::CREATE_FAILED ? "Nie można utworzyć pliku " : "Błąd zapisu do pliku ";
    return text + "\"" + fileName + "\" (błąd systemu " + std::to_string(systemError) + ").";
}
}

CFileException::CFileException(Cause failure, const std::string& name, unsigned long error)
    : CException(Describe(failure, name, error)), cause(failure), fileName(name), systemError(error)
{
}
