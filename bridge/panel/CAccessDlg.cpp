// Who may reach the bridge: listen address, allowed clients, takeover rule, configuration port, RFC 2217 port, trace file.
#include "CAccessDlg.h"

#include <algorithm>

#include "../../framework/CDataExchange.h"
#include "../../framework/CUserException.h"
#include "../core/ClientAdmission.h"
#include "../core/ClientAllowList.h"
#include "../core/Ipv4Text.h"
#include "../engine/LocalAddresses.h"
#include "resource.h"

namespace {
constexpr const char* EVERY_INTERFACE_TEXT = "Wszystkie interfejsy";
constexpr const char* THIS_COMPUTER_TEXT = "Tylko ten komputer (127.0.0.1)";
constexpr const char* THIS_COMPUTER_ADDRESS = "127.0.0.1";
constexpr const char* RFC2217_PORT_TEXT = "Port RFC 2217 musi być liczbą od 0 do 65535 (0: wyłączony).";
constexpr int TAKEOVER_BUTTONS[] = {IDC_TAKEOVER_NEWCOMER, IDC_TAKEOVER_REFUSE, IDC_TAKEOVER_SAME_ADDRESS};

// Refuses the exchange with a box; the focus goes to the edit with `start`..`end` selected.
[[noreturn]] void Refuse(CDataExchange* pDX, HWND edit, const std::string& text, std::size_t start, std::size_t end)
{
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    ::SendMessageA(pDX->m_pDlgWnd->m_hWnd, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(edit), TRUE);
    ::SendMessageA(edit, EM_SETSEL, start, end);
    throw CUserException();
}
}

CAccessDlg::CAccessDlg(BridgeSettings& appSettings, CWnd* parentWindow)
    : CDialog(IDD_ACCESS, parentWindow), settings(appSettings)
{
}

BOOL CAccessDlg::OnInitDialog()
{
    listenAddress = settings.listenAddress;
    allowedClients = settings.allowedClients;
    takeover = static_cast<int>(ClientAdmission::TakeoverFromSetting(settings.takeover));
    configPortEnabled = settings.configPortEnabled != 0 ? 1 : 0;
    rfc2217Port = settings.rfc2217Port;
    traceFileName = settings.traceFileName;
    FillListenAddresses();
    return CDialog::OnInitDialog();
}

void CAccessDlg::FillListenAddresses()
{
    listedAddresses = {"", THIS_COMPUTER_ADDRESS};
    std::vector<std::string> texts = {EVERY_INTERFACE_TEXT, THIS_COMPUTER_TEXT};
    for (std::uint32_t address : LocalAddresses::Ipv4()) {
        listedAddresses.push_back(Ipv4Text::Format(address));
        texts.push_back(listedAddresses.back());
    }
    // A stored address this machine does not list (another network today, a preset) is still shown.
    const std::string stored = listenAddress == "0.0.0.0" ? std::string() : listenAddress;
    if (std::find(listedAddresses.begin(), listedAddresses.end(), stored) == listedAddresses.end()) {
        listedAddresses.push_back(stored);
        texts.push_back(stored);
    }
    for (const std::string& text : texts)
        SendDlgItemMessage(IDC_ACCESS_LISTEN_ADDRESS, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CAccessDlg::DoDataExchange(CDataExchange* pDX)
{
    const bool save = pDX->m_bSaveAndValidate;
    if (save) {
        const int index = GetComboSel(IDC_ACCESS_LISTEN_ADDRESS);
        if (index >= 0 && index < static_cast<int>(listedAddresses.size()))
            listenAddress = listedAddresses[static_cast<std::size_t>(index)];
    } else {
        const std::string shown = listenAddress == "0.0.0.0" ? std::string() : listenAddress;
        const auto at = std::find(listedAddresses.begin(), listedAddresses.end(), shown);
        SetComboSel(IDC_ACCESS_LISTEN_ADDRESS, at == listedAddresses.end() ? -1 : static_cast<int>(at - listedAddresses.begin()));
    }

    DDX_Text(pDX, IDC_ACCESS_ALLOWED, allowedClients);
    if (save) {
        ClientAllowList list;
        if (auto bad = ClientAllowList::Parse(allowedClients, list))
            Refuse(pDX, pDX->LastControl(), ClientAllowList::BadEntryMessage(bad->text), bad->offset,
                   bad->offset + bad->Length());
    }

    for (int rule = 0; rule < 3; ++rule) {
        int checked = takeover == rule ? 1 : 0;
        DDX_Check(pDX, TAKEOVER_BUTTONS[rule], checked);
        if (save && checked)
            takeover = rule;
    }
    DDX_Check(pDX, IDC_ACCESS_CONFIG_PORT, configPortEnabled);

    DDX_Text(pDX, IDC_ACCESS_RFC2217_PORT, rfc2217Port);
    if (save && (rfc2217Port < 0 || rfc2217Port > 65535)) {
        const std::size_t length = GetWindowText(pDX->LastControl()).size();
        Refuse(pDX, pDX->LastControl(), RFC2217_PORT_TEXT, 0, length);
    }
    DDX_Text(pDX, IDC_ACCESS_TRACE_FILE, traceFileName);
}

void CAccessDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    settings.listenAddress = listenAddress;
    settings.allowedClients = allowedClients;
    settings.takeover = takeover;
    settings.configPortEnabled = configPortEnabled != 0 ? 1 : 0;
    settings.rfc2217Port = rfc2217Port;
    settings.traceFileName = traceFileName;
    EndDialog(IDOK);
}
