// The panel while the service holds the line: the service's live state in the panel's controls, and its start and stop.
#include "ServiceFace.h"

#include <winsvc.h>

#include "../../framework/CHandle.h"
#include "../core/SerialEncodings.h"
#include "../service/ServicePresence.h"
#include "CControlPanelDlg.h"
#include "resource.h"

namespace {
constexpr const char* STOP_SERVICE_TEXT = "Zatrzymaj usługę";
constexpr const char* START_SERVICE_TEXT = "Uruchom usługę";
constexpr const char* TRAY_TIP = "Vextor: ";
constexpr const wchar_t* STOP_VERB = L"--stop-service";
constexpr const wchar_t* START_VERB = L"--start-service";
constexpr const wchar_t* EDIT_VERB = L"--edit-service-settings";
constexpr const char* EDIT_COMMAND_TEXT = "Zmień ustawienia usługi ...";

bool Elevated()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    CHandle owned;
    owned.Reset(token);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return ::GetTokenInformation(owned.Get(), TokenElevation, &elevation, sizeof elevation, &size) &&
           elevation.TokenIsElevated;
}

std::string StateText(DWORD state)
{
    switch (state) {
    case SERVICE_STOPPED: return "Usługa Vextor jest zatrzymana";
    case SERVICE_START_PENDING: return "Usługa Vextor uruchamia się";
    case SERVICE_STOP_PENDING: return "Usługa Vextor zatrzymuje się";
    default: return "Usługa Vextor nie odpowiada";
    }
}
}

ServiceFace::~ServiceFace()
{
    // The threads end before the window they post to.
    link.reset();
    verb.reset();
}

void ServiceFace::Attach()
{
    link = std::make_unique<ServiceStatusLink>(owner.m_hWnd);
    verb = std::make_unique<ElevatedVerb>(owner.m_hWnd);
    serviceState = ServicePresence::Now().state;
    HWND button = owner.GetDlgItem(IDC_LISTEN);
    if (!Elevated())
        ShowShield(button);
    ShowButton();
    AddMenuCommand();
    link->Start();
}

void ServiceFace::AddMenuCommand() const
{
    if (HMENU systemMenu = ::GetSystemMenu(owner.m_hWnd, FALSE))
        ::AppendMenuA(systemMenu, MF_STRING, IDM_SERVICE_SETTINGS, EDIT_COMMAND_TEXT);
}

// The panel's classic controls have no shield of their own (that needs common controls 6): the
// system's shield icon is drawn beside the button, in the gap before it.
void ServiceFace::ShowShield(HWND button)
{
    const int size = ::GetSystemMetrics(SM_CXSMICON);
    HICON icon = static_cast<HICON>(::LoadImageA(nullptr, MAKEINTRESOURCEA(32518), IMAGE_ICON, size, size, LR_SHARED));
    if (!icon)
        return;
    RECT rect;
    ::GetWindowRect(button, &rect);
    ::MapWindowPoints(nullptr, owner.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
    shield = ::CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_ICON | SS_REALSIZEIMAGE, rect.left - size - 3,
                               (rect.top + rect.bottom - size) / 2, size, size, owner.m_hWnd,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_SERVICE_SHIELD)), nullptr, nullptr);
    if (shield)
        ::SendMessageA(shield, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

void ServiceFace::ShowButton()
{
    const bool stops = serviceState == SERVICE_RUNNING || serviceState == SERVICE_START_PENDING;
    owner.SetDlgItemText(IDC_LISTEN, stops ? STOP_SERVICE_TEXT : START_SERVICE_TEXT);
    const bool settled = serviceState == SERVICE_RUNNING || serviceState == SERVICE_STOPPED;
    owner.EnableDlgItem(IDC_LISTEN, settled && !(verb && verb->Running()));
}

std::string ServiceFace::StatusLine(const ServiceStatusLink::Snapshot& snapshot) const
{
    using Link = ServiceStatusLink::Link;
    switch (snapshot.link) {
    case Link::CONNECTED:
        if (snapshot.status.Listening())
            return snapshot.status.status;
        return snapshot.status.failure.empty() ? "Usługa nie nasłuchuje"
                                               : "Usługa nie nasłuchuje: " + snapshot.status.failure;
    case Link::NOT_RUNNING: return StateText(snapshot.serviceState);
    case Link::NO_SERVICE: return "Usługa Vextor nie jest zainstalowana";
    case Link::NO_PIPE: return "Brak łączności z usługą Vextor";
    case Link::UNTRUSTED: return "Kanał stanu usługi należy do obcego programu";
    case Link::REFUSED: return "Nieznana wersja kanału stanu usługi";
    case Link::CONNECTING: break;
    }
    return "Łączenie z usługą Vextor ...";
}

void ServiceFace::OnLink()
{
    if (!link)
        return;
    const ServiceStatusLink::Snapshot snapshot = link->Latest();
    serviceState = snapshot.serviceState;
    const std::string line = StatusLine(snapshot);
    owner.statusText = line;
    owner.SetDlgItemText(IDC_STATUS, line);
    owner.trayIcon.SetTip((TRAY_TIP + line).c_str());
    if (snapshot.link == ServiceStatusLink::Link::CONNECTED && snapshot.status.Listening()) {
        // The ports the service listens on, which may be newer than the settings the panel read.
        owner.SetDlgItemText(IDC_LISTEN_PORT, std::to_string(snapshot.status.dataPort));
        if (snapshot.status.configPort)
            owner.SetDlgItemText(IDC_CONFIG_PORT, std::to_string(snapshot.status.configPort));
        owner.SetComboSel(IDC_SPEED, SerialEncodings::SpeedIndexOf(snapshot.status.rate));
        owner.SetComboSel(IDC_PARITY, SerialEncodings::ParityIndexOf(snapshot.status.parity));
        owner.SetComboSel(IDC_STOP_BITS, SerialEncodings::StopBitsIndexOf(snapshot.status.stopBits));
    }
    ShowButton();
}

bool ServiceFace::RunVerb(const wchar_t* verbWord)
{
    if (!verb || verb->Running())
        return false;
    const std::wstring program = ServicePresence::Program();
    if (program.empty()) {
        AfxMessageBox("Nie można odczytać, jaki program uruchamia usługę Vextor.", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (!verb->Run(program, verbWord))
        return false;
    running = verbWord;
    ShowButton();
    return true;
}

void ServiceFace::OnListen()
{
    const bool stops = serviceState == SERVICE_RUNNING || serviceState == SERVICE_START_PENDING;
    RunVerb(stops ? STOP_VERB : START_VERB);
}

void ServiceFace::OnEditSettings()
{
    RunVerb(EDIT_VERB);
}

void ServiceFace::OnVerbDone(DWORD result, LPARAM outcome)
{
    verb->Finished();
    const wchar_t* ended = running;
    running = nullptr;
    ShowButton();
    const std::string what = ended == STOP_VERB ? "zatrzymać usługi Vextor" : ended == START_VERB ? "uruchomić usługi Vextor"
                                                                                                 : "zmienić ustawień usługi Vextor";
    if (outcome == ElevatedVerb::NOT_STARTED)
        AfxMessageBox("Nie można " + what + ": błąd systemu " + std::to_string(result) + ".", MB_OK | MB_ICONEXCLAMATION);
    // The editing copy told its user itself what became of the settings.
    else if (outcome == ElevatedVerb::ENDED && result != 0 && ended != EDIT_VERB)
        AfxMessageBox("Nie udało się " + what + " (kod wyjścia " + std::to_string(result) + ").",
                      MB_OK | MB_ICONEXCLAMATION);
}
