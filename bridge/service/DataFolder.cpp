// The service's data folder, %ProgramData%\MORVEK\Vextor, kept out of other local users' reach.
#include "DataFolder.h"

#include <aclapi.h>
#include <sddl.h>
#include <shlobj.h>

namespace {
// Read, write, execute and delete: what the service needs for its log and trace, without the
// right to change the folder's security.
constexpr const wchar_t* MODIFY = L"0x1301bf";

DWORD CreateOne(const std::wstring& path)
{
    if (::CreateDirectoryW(path.c_str(), nullptr))
        return ERROR_SUCCESS;
    const DWORD error = ::GetLastError();
    return error == ERROR_ALREADY_EXISTS && (::GetFileAttributesW(path.c_str()) & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_SUCCESS
                                                                                                             : error;
}

class LocalMemory {
public:
    ~LocalMemory()
    {
        if (memory)
            ::LocalFree(memory);
    }
    PSECURITY_DESCRIPTOR memory = nullptr;
};
}

std::wstring DataFolder::Path()
{
    PWSTR programData = nullptr;
    std::wstring path;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_ProgramData, 0, nullptr, &programData)))
        path = std::wstring(programData) + L"\\MORVEK\\Vextor";
    ::CoTaskMemFree(programData);
    return path;
}

DWORD DataFolder::Create(const std::wstring& serviceSid)
{
    const std::wstring path = Path();
    if (path.empty())
        return ERROR_PATH_NOT_FOUND;
    DWORD error = CreateOne(path.substr(0, path.find_last_of(L'\\')));
    if (error == ERROR_SUCCESS)
        error = CreateOne(path);
    if (error != ERROR_SUCCESS)
        return error;

    const std::wstring sddl = L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;" + std::wstring(MODIFY) + L";;;" +
                              serviceSid + L")";
    LocalMemory descriptor;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor.memory, nullptr))
        return ::GetLastError();
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!::GetSecurityDescriptorOwner(descriptor.memory, &owner, &defaulted) ||
        !::GetSecurityDescriptorDacl(descriptor.memory, &present, &dacl, &defaulted))
        return ::GetLastError();
    const SECURITY_INFORMATION what = OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION;
    std::wstring name = path;
    error = ::SetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, what, owner, nullptr, dacl, nullptr);
    if (error != ERROR_SUCCESS)
        return error;
    // Then what is already inside: explicit entries dropped and owners reset, so that a log file
    // someone made there first is no longer theirs. Where the tree reset is not implemented
    // (Wine), the folder's own security set above is what holds.
    error = ::TreeResetNamedSecurityInfoW(name.data(), SE_FILE_OBJECT, what, owner, nullptr, dacl, nullptr, FALSE, nullptr,
                                          ProgressInvokeNever, nullptr);
    return error == ERROR_CALL_NOT_IMPLEMENTED ? ERROR_SUCCESS : error;
}
