// The program file named by a service's image path, without its arguments.
#include "ImagePathProgram.h"

#include <cwctype>

std::wstring ImagePathProgram::Of(const std::wstring& imagePath)
{
    const std::size_t start = imagePath.find_first_not_of(L' ');
    if (start == std::wstring::npos)
        return {};
    if (imagePath[start] == L'"') {
        const std::size_t end = imagePath.find(L'"', start + 1);
        if (end == std::wstring::npos || end == start + 1)
            return {};
        return imagePath.substr(start + 1, end - start - 1);
    }
    std::wstring lower = imagePath;
    for (wchar_t& c : lower)
        c = static_cast<wchar_t>(std::towlower(c));
    const std::size_t exe = lower.find(L".exe", start);
    if (exe == std::wstring::npos)
        return {};
    const std::size_t end = exe + 4;
    if (end < lower.size() && lower[end] != L' ')
        return {};
    return imagePath.substr(start, end - start);
}
