// Installs, reconfigures and removes the service "Vextor" with its event source, data folder and settings key.
#include "ServiceInstaller.h"

#include <sddl.h>

#include <vector>

#include "../../framework/CHandle.h"
#include "ConsoleReport.h"
#include "DataFolder.h"
#include "EventSourceRegistration.h"
#include "MachineSettingsKey.h"
#include "ServiceHandle.h"

namespace {
constexpr const wchar_t* ACCOUNT = L"NT AUTHORITY\\LocalService";
constexpr const wchar_t* DESCRIPTION =
    L"Udostępnia port szeregowy centrali w sieci lokalnej, także gdy nikt nie jest zalogowany.";
constexpr DWORD STOP_WAIT_MS = 10000;
constexpr DWORD STATE_POLL_MS = 100;
// A start reported as STOPPED this soon may be the state from before the start request was taken.
constexpr DWORD START_SETTLE_MS = 1000;

std::wstring ProgramPath()
{
    std::vector<wchar_t> buffer(32768);
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return std::wstring(buffer.data(), length);
}

std::wstring ErrorText(DWORD error)
{
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = L"błąd " + std::to_wstring(error);
    if (length) {
        std::wstring message(text, length);
        while (!message.empty() && (message.back() == L'\n' || message.back() == L'\r' || message.back() == L' '))
            message.pop_back();
        result += L": " + message;
    }
    ::LocalFree(text);
    return result;
}

// Wine's service manager takes only the description, the failure actions and the preshutdown
// time; the other levels fail there with ERROR_INVALID_LEVEL (through the ANSI call, with
// ERROR_INVALID_PARAMETER). Only that refusal is let through: on Windows every level is taken.
bool SetConfig(SC_HANDLE service, DWORD level, void* info, bool wineMayRefuse, DWORD& error)
{
    if (::ChangeServiceConfig2W(service, level, info))
        return true;
    error = ::GetLastError();
    return wineMayRefuse && error == ERROR_INVALID_LEVEL;
}
}

bool ServiceInstaller::Fail(const std::wstring& what, DWORD error)
{
    report.Failure(what + L" (" + ErrorText(error) + L")");
    return false;
}

bool ServiceInstaller::Install()
{
    const std::wstring program = ProgramPath();
    const std::wstring imagePath = L"\"" + program + L"\" --service";
    ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_CREATE_SERVICE));
    if (!manager)
        return Fail(L"Brak dostępu do menedżera usług; uruchom jako administrator", ::GetLastError());
    const DWORD access = SERVICE_CHANGE_CONFIG | SERVICE_START | SERVICE_QUERY_STATUS;
    ServiceHandle service(::OpenServiceW(manager.Get(), SERVICE_NAME, access));
    if (service) {
        if (!::ChangeServiceConfigW(service.Get(), SERVICE_WIN32_OWN_PROCESS, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                    imagePath.c_str(), nullptr, nullptr, L"", ACCOUNT, L"", SERVICE_NAME))
            return Fail(L"Nie można zmienić konfiguracji usługi Vextor", ::GetLastError());
        report.Note(L"Usługa Vextor już istniała: jej konfiguracja została odnowiona.");
    } else {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SERVICE_DOES_NOT_EXIST)
            return Fail(L"Nie można otworzyć usługi Vextor", error);
        // Created with the empty password that LocalService takes.
        service.Reset(::CreateServiceW(manager.Get(), SERVICE_NAME, SERVICE_NAME, access, SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, imagePath.c_str(), nullptr, nullptr,
                                       L"", ACCOUNT, L""));
        if (!service)
            return Fail(L"Nie można utworzyć usługi Vextor", ::GetLastError());
    }
    if (!ConfigureExtras(service.Get()))
        return false;
    if (const LONG rc = EventSourceRegistration::Register(program))
        return Fail(L"Nie można zarejestrować źródła zdarzeń Vextor", static_cast<DWORD>(rc));
    if (const DWORD rc = DataFolder::Create(ServiceSid()))
        return Fail(L"Nie można przygotować folderu danych " + DataFolder::Path(), rc);
    if (const LONG rc = MachineSettingsKey::CreateWithDefaults())
        return Fail(L"Nie można utworzyć klucza ustawień komputera", static_cast<DWORD>(rc));
    Start(service.Get());
    return true;
}

bool ServiceInstaller::ConfigureExtras(SC_HANDLE service)
{
    DWORD error = 0;
    std::wstring description = DESCRIPTION;
    SERVICE_DESCRIPTIONW describe{description.data()};
    if (!SetConfig(service, SERVICE_CONFIG_DESCRIPTION, &describe, false, error))
        return Fail(L"Nie można ustawić opisu usługi", error);
    // Restart after a crash: 5 s, 30 s, then every 60 s; the count starts again after a day.
    SC_ACTION restarts[] = {{SC_ACTION_RESTART, 5000}, {SC_ACTION_RESTART, 30000}, {SC_ACTION_RESTART, 60000}};
    SERVICE_FAILURE_ACTIONSW actions{24 * 60 * 60, nullptr, nullptr, 3, restarts};
    if (!SetConfig(service, SERVICE_CONFIG_FAILURE_ACTIONS, &actions, false, error))
        return Fail(L"Nie można ustawić ponownego uruchamiania usługi", error);
    // Restart also when the service stops itself with an error code, not only when it crashes.
    SERVICE_FAILURE_ACTIONS_FLAG flag{TRUE};
    if (!SetConfig(service, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG, &flag, true, error))
        return Fail(L"Nie można ustawić ponownego uruchamiania usługi po błędzie", error);
    // Its own SID (NT SERVICE\Vextor): the data folder grants that, not every LocalService service.
    SERVICE_SID_INFO sid{SERVICE_SID_TYPE_UNRESTRICTED};
    if (!SetConfig(service, SERVICE_CONFIG_SERVICE_SID_INFO, &sid, true, error))
        return Fail(L"Nie można ustawić identyfikatora usługi", error);
    // The process parses bytes from the network: it keeps only the privilege every process needs,
    // and not LocalService's SeImpersonatePrivilege.
    wchar_t privileges[] = L"SeChangeNotifyPrivilege\0";
    SERVICE_REQUIRED_PRIVILEGES_INFOW required{privileges};
    if (!SetConfig(service, SERVICE_CONFIG_REQUIRED_PRIVILEGES_INFO, &required, true, error))
        return Fail(L"Nie można ustawić uprawnień usługi", error);
    return true;
}

std::wstring ServiceInstaller::ServiceSid()
{
    BYTE sid[SECURITY_MAX_SID_SIZE];
    DWORD sidSize = sizeof sid;
    wchar_t domain[256];
    DWORD domainSize = 256;
    SID_NAME_USE use;
    wchar_t* text = nullptr;
    if (::LookupAccountNameW(nullptr, L"NT SERVICE\\Vextor", sid, &sidSize, domain, &domainSize, &use) &&
        ::ConvertSidToStringSidW(sid, &text)) {
        std::wstring result(text);
        ::LocalFree(text);
        return result;
    }
    // Windows knows the name once the service exists. Wine resolves no service SIDs, and there the
    // account is ignored anyway (every process is an administrator); the service's account,
    // LocalService, is then the narrowest principal that still lets the service write its log.
    report.Note(L"Identyfikator NT SERVICE\\Vextor jest nieznany; folder danych udostępniono kontu LocalService.");
    return L"LS";
}

void ServiceInstaller::Start(SC_HANDLE service)
{
    if (::StartServiceW(service, 0, nullptr)) {
        report.Note(L"Usługa Vextor została zainstalowana i uruchomiona.");
        return;
    }
    const DWORD error = ::GetLastError();
    if (error == ERROR_SERVICE_ALREADY_RUNNING)
        report.Note(L"Usługa Vextor została zainstalowana; już działała, nowa konfiguracja obowiązuje od jej ponownego uruchomienia.");
    else
        report.Note(L"Usługa Vextor została zainstalowana, ale się nie uruchomiła (" + ErrorText(error) +
                    L"); menedżer usług uruchomi ją przy starcie systemu.");
}

bool ServiceInstaller::StopAndWait(SC_HANDLE service)
{
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!::QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status, &needed))
        return Fail(L"Nie można odczytać stanu usługi Vextor", ::GetLastError());
    if (status.dwCurrentState == SERVICE_STOPPED || status.dwProcessId == 0)
        return true;
    // Held before the stop, so that the wait is on this very process even once it has ended.
    CHandle process;
    process.Reset(::OpenProcess(SYNCHRONIZE, FALSE, status.dwProcessId));
    SERVICE_STATUS ignored{};
    if (!::ControlService(service, SERVICE_CONTROL_STOP, &ignored)) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SERVICE_NOT_ACTIVE)
            return Fail(L"Nie można zatrzymać usługi Vextor", error);
    }
    if (process.IsValid() && ::WaitForSingleObject(process.Get(), STOP_WAIT_MS) != WAIT_OBJECT_0)
        return Fail(L"Usługa Vextor nie zakończyła się w ciągu 10 s", WAIT_TIMEOUT);
    return true;
}

// The manager's handle is only needed to open the service: it is closed here.
bool ServiceInstaller::OpenExisting(DWORD access, ServiceHandle& service)
{
    const ServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager)
        return Fail(L"Brak dostępu do menedżera usług; uruchom jako administrator", ::GetLastError());
    service.Reset(::OpenServiceW(manager.Get(), SERVICE_NAME, access));
    if (!service) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_SERVICE_DOES_NOT_EXIST)
            return Fail(L"Nie można otworzyć usługi Vextor", error);
    }
    return true;
}

bool ServiceInstaller::Stop()
{
    ServiceHandle service;
    if (!OpenExisting(SERVICE_STOP | SERVICE_QUERY_STATUS, service))
        return false;
    if (!service) {
        report.Note(L"Usługa Vextor nie jest zainstalowana.");
        return true;
    }
    if (!StopAndWait(service.Get()))
        return false;
    report.Note(L"Usługa Vextor jest zatrzymana.");
    return true;
}

bool ServiceInstaller::StartAndWait()
{
    ServiceHandle service;
    if (!OpenExisting(SERVICE_START | SERVICE_QUERY_STATUS, service))
        return false;
    if (!service)
        return Fail(L"Nie można otworzyć usługi Vextor", ERROR_SERVICE_DOES_NOT_EXIST);
    if (!::StartServiceW(service.Get(), 0, nullptr) && ::GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return Fail(L"Nie można uruchomić usługi Vextor", ::GetLastError());
    // The service manager has no wait of its own for a state: asked a few times a second.
    const DWORD started = ::GetTickCount();
    for (;;) {
        SERVICE_STATUS status{};
        if (!::QueryServiceStatus(service.Get(), &status))
            return Fail(L"Nie można odczytać stanu usługi Vextor", ::GetLastError());
        if (status.dwCurrentState == SERVICE_RUNNING) {
            report.Note(L"Usługa Vextor działa.");
            return true;
        }
        if (status.dwCurrentState == SERVICE_STOPPED && ::GetTickCount() - started > START_SETTLE_MS)
            return Fail(L"Usługa Vextor zatrzymała się zaraz po uruchomieniu",
                        status.dwWin32ExitCode ? status.dwWin32ExitCode : ERROR_SERVICE_NEVER_STARTED);
        if (::GetTickCount() - started > STOP_WAIT_MS)
            return Fail(L"Usługa Vextor nie ruszyła w ciągu 10 s", WAIT_TIMEOUT);
        ::Sleep(STATE_POLL_MS);
    }
}

bool ServiceInstaller::Uninstall()
{
    ServiceHandle service;
    if (!OpenExisting(SERVICE_STOP | SERVICE_QUERY_STATUS | DELETE, service))
        return false;
    if (!service) {
        report.Note(L"Usługa Vextor nie jest zainstalowana.");
    } else {
        if (!StopAndWait(service.Get()))
            return false;
        if (!::DeleteService(service.Get()) && ::GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE)
            return Fail(L"Nie można usunąć usługi Vextor", ::GetLastError());
        report.Note(L"Usługa Vextor została usunięta; ustawienia i folder danych pozostały.");
    }
    if (const LONG rc = EventSourceRegistration::Remove())
        return Fail(L"Nie można usunąć źródła zdarzeń Vextor", static_cast<DWORD>(rc));
    return true;
}
