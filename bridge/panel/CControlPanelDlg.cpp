// The bridge's control panel: settings fields and their rules, Listen/Stop, the end of the session.
#include "CControlPanelDlg.h"

#include "../../framework/CDataExchange.h"
#include "../../framework/CPaintDC.h"
#include <dbt.h>
#include "CAboutDlg.h"
#include "CAccessDlg.h"
#include "CInstanceGuard.h"
#include "../core/ListenCheck.h"
#include "../engine/LocalAddresses.h"
#include "../core/SerialEncodings.h"
#include "resource.h"

namespace {
constexpr UINT_PTR LISTEN_LOCK_TIMER = 1;
constexpr UINT LISTEN_LOCK_MS = 500;
constexpr const char* NO_CONNECTION_TEXT = "(brak połączenia)";
constexpr const char* LISTEN_TEXT = "&Nasłuchuj ...";
constexpr const char* TRAY_TIP = "Vextor";
constexpr const char* SERVICE_TEXT = "Linię obsługuje usługa Vextor";

constexpr int FREED_WHEN_IDLE[] = {IDC_COM1,         IDC_COM2,        IDC_COM_OTHER,    IDC_LOG_TO_TCP,
                                   IDC_LOG_TO_FILE,  IDC_COM_GROUP,   IDC_LISTEN_PORT,  IDC_CONFIG_PORT,
                                   IDC_SERIAL_GROUP, IDC_SPEED_LABEL, IDC_PARITY_LABEL, IDC_STOP_BITS_LABEL,
                                   IDC_MANUAL,       IDC_ACCESS};
}

// Broadcast by the shell whenever it builds the taskbar afresh, as after a restart of Explorer.
static const UINT WM_TASKBAR_CREATED = ::RegisterWindowMessageA("TaskbarCreated");
static const UINT WM_SHOW_PANEL = CInstanceGuard::ShowPanelMessage();

BEGIN_MESSAGE_MAP(CControlPanelDlg, CDialog)
    ON_BN_CLICKED(IDC_COM1, OnCom1Clicked)
    ON_BN_CLICKED(IDC_COM2, OnCom2Clicked)
    ON_CBN_SELCHANGE(IDC_COM_OTHER, OnOtherPortChosen)
    ON_CBN_DROPDOWN(IDC_COM_OTHER, FillComPorts)
    ON_BN_CLICKED(IDC_LOG_TO_FILE, OnLogToFileClicked)
    ON_BN_CLICKED(IDC_LOG_TO_TCP, OnLogToTcpClicked)
    ON_BN_CLICKED(IDC_MANUAL, OnManualClicked)
    ON_CBN_SELCHANGE(IDC_MODEL, ApplyModelPreset)
    ON_BN_CLICKED(IDC_LISTEN, OnListenToggle)
    ON_BN_CLICKED(IDC_ACCESS, OnAccess)
    ON_WM_TIMER()
    ON_WM_CLOSE()
    ON_WM_SIZE()
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_MESSAGE(WM_TRAY_NOTIFY, OnTrayNotify)
    ON_MESSAGE(WM_DEVICECHANGE, OnDeviceChange)
    ON_MESSAGE(WM_SHOW_ERROR, OnShowError)
    ON_MESSAGE(WM_SERVICE_LINK, OnServiceLink)
    ON_MESSAGE(WM_ELEVATED_VERB_DONE, OnElevatedVerbDone)
    ON_MESSAGE(WM_WINDOWPOSCHANGING, OnWindowPosChanging)
    ON_REGISTERED_MESSAGE(WM_TASKBAR_CREATED, OnTaskbarCreated)
    ON_REGISTERED_MESSAGE(WM_SHOW_PANEL, OnShowPanel)
    ON_MESSAGE(WM_QUERYENDSESSION, OnQueryEndSession)
    ON_MESSAGE(WM_ENDSESSION, OnEndSession)
END_MESSAGE_MAP()

CControlPanelDlg::CControlPanelDlg(BridgeSettings& appSettings)
    : CDialog(IDD_CONTROL_PANEL), settings(appSettings),
      icon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME)))
{
}

void CControlPanelDlg::DoDataExchange(CDataExchange* pDX)
{
    // Check states first: the check-box handlers rely on them even when a port field is invalid.
    DDX_Check(pDX, IDC_COM1, shown.com1Selected);
    DDX_Check(pDX, IDC_COM2, shown.com2Selected);
    DDX_Check(pDX, IDC_LOG_TO_FILE, shown.logToFile);
    DDX_Check(pDX, IDC_LOG_TO_TCP, shown.logToTcp);
    DDX_Check(pDX, IDC_MANUAL, manualParameters);
    DDX_Text(pDX, IDC_LISTEN_PORT, shown.listenPort);
    DDX_Text(pDX, IDC_CONFIG_PORT, shown.configPort);
    DDX_Text(pDX, IDC_LOG_ADDRESS, shown.logAddress);
    DDX_Text(pDX, IDC_LOG_PORT, shown.logPort);
    DDX_Text(pDX, IDC_LOG_FILE_NAME, shown.logFileName);
    DDX_Text(pDX, IDC_STATUS, statusText);
}

BOOL CControlPanelDlg::OnInitDialog()
{
    CDialog::OnInitDialog();

    if (HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE)) {
        std::string about = AfxLoadString(IDS_ABOUTBOX);
        if (!about.empty()) {
            ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
    trayIcon.Define(m_hWnd, IDI_TRAY, WM_TRAY_NOTIFY,
                    ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_TRAY)), TRAY_TIP);
    if (!editingServiceSettings)
        trayIcon.Add();

    FillLists();
    shown = settings.ToPanel();
    SetComboSel(IDC_SPEED, shown.speedIndex);
    SetComboSel(IDC_PARITY, shown.parityIndex);
    SetComboSel(IDC_STOP_BITS, shown.stopBitsIndex);

    SendDlgItemMessage(IDC_SPEED, CB_SETEXTENDEDUI, TRUE);
    comPorts.Attach();
    presets.ApplyManualRule();
    ApplyLogRules();
    UpdateData(false);
    if (editingServiceSettings)
        serviceSettings.Attach();
    else if (serviceHoldsLine)
        ShowServiceLook();
    return TRUE;
}

// Two bridges on one COM port would each take the other's bytes: the panel leaves the line to the
// service, even while it is stopped, since the service manager may start it again any moment.
// The panel shows the service's state instead, and its button starts and stops the service.
void CControlPanelDlg::ShowServiceLook()
{
    for (int id : FREED_WHEN_IDLE)
        EnableDlgItem(id, false);
    EnableItems({IDC_MODEL, IDC_SPEED, IDC_PARITY, IDC_STOP_BITS, IDC_LOG_FILE_NAME, IDC_LOG_ADDRESS,
                 IDC_LOG_ADDRESS_LABEL, IDC_LOG_PORT, IDC_LOG_PORT_LABEL},
                false);
    statusText = SERVICE_TEXT;
    UpdateData(false);
    serviceFace.Attach();
}

void CControlPanelDlg::FillLists() const
{
    auto add = [this](int id, const char* text) {
        SendDlgItemMessage(id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    };
    for (int i = 0; i < SerialEncodings::SPEED_COUNT; ++i)
        add(IDC_SPEED, SerialEncodings::SpeedText(i));
    for (int i = 0; i < SerialEncodings::PARITY_COUNT; ++i)
        add(IDC_PARITY, SerialEncodings::ParityText(i));
    for (int i = 0; i < SerialEncodings::STOP_BITS_COUNT; ++i)
        add(IDC_STOP_BITS, SerialEncodings::StopBitsText(i));
    presets.FillModels();
}

void CControlPanelDlg::EnableItems(std::initializer_list<int> ids, bool enable) const
{
    for (int id : ids)
        EnableDlgItem(id, enable);
}

void CControlPanelDlg::ApplyLogRules() const
{
    EnableItems({IDC_LOG_PORT, IDC_LOG_ADDRESS, IDC_LOG_ADDRESS_LABEL, IDC_LOG_PORT_LABEL}, shown.logToTcp != 0);
    EnableDlgItem(IDC_LOG_FILE_NAME, shown.logToFile != 0);
}

LRESULT CControlPanelDlg::OnDeviceChange(WPARAM event, LPARAM)
{
    if (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE || event == DBT_DEVNODES_CHANGED)
        FillComPorts();
    // Nothing here objects to a device's removal.
    return TRUE;
}

void CControlPanelDlg::OnLogToFileClicked()
{
    UpdateData(true);
    EnableDlgItem(IDC_LOG_FILE_NAME, shown.logToFile != 0);
}

void CControlPanelDlg::OnLogToTcpClicked()
{
    UpdateData(true);
    EnableItems({IDC_LOG_ADDRESS, IDC_LOG_ADDRESS_LABEL, IDC_LOG_PORT, IDC_LOG_PORT_LABEL}, shown.logToTcp == 1);
}

void CControlPanelDlg::OnListenToggle()
{
    if (serviceHoldsLine) {
        serviceFace.OnListen();
        return;
    }
    if (!UpdateData(true))
        return;
    // The button stays dead for half a second so that a double click acts once.
    EnableDlgItem(IDC_LISTEN, false);
    SetTimer(LISTEN_LOCK_TIMER, LISTEN_LOCK_MS);
    statusText = NO_CONNECTION_TEXT;
    UpdateData(false);

    if (!engine.Listening()) {
        const BridgeOptions options = Options();
        // Nothing opens before every setting is known to work: a box names the one at fault.
        auto failure = ListenCheck::Check(options, LocalAddresses::Ipv4());
        if (!failure) {
            // The engine's reports wait until it is through, so that its boxes come among its
            // locks and status as they always have.
            engineView.BeginListen();
            try {
                failure = engine.Start(options);
            } catch (...) {
                engineView.EndListen();
                throw;
            }
            engineView.EndListen();
        }
        if (failure)
            FailAtField(FieldOf(failure->field), failure->message);
    } else {
        engine.Stop();
        ShowIdleLook();
    }
}

int CControlPanelDlg::FieldOf(ListenCheck::Field field)
{
    switch (field) {
    case ListenCheck::Field::LISTEN_PORT: return IDC_LISTEN_PORT;
    case ListenCheck::Field::CONFIG_PORT: return IDC_CONFIG_PORT;
    case ListenCheck::Field::LOG_PORT: return IDC_LOG_PORT;
    default: return IDC_ACCESS;  // the settings of the access dialog
    }
}

void CControlPanelDlg::FailAtField(int id, const std::string& text)
{
    // As the panel's own invalid-number box: the field gets the focus with its text selected.
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    HWND control = ::GetDlgItem(m_hWnd, id);
    ::SetFocus(control);
    ::SendMessageA(control, EM_SETSEL, 0, -1);
}

// The dialog writes the settings object itself; its button is locked while listening, since the
// engine takes these settings at Listen like the panel's own.
void CControlPanelDlg::OnAccess()
{
    CAccessDlg access(settings, this);
    access.DoModal();
}

BridgeOptions CControlPanelDlg::Options() const
{
    BridgeOptions options;
    options.listenPort = shown.listenPort;
    options.configPort = shown.configPort;
    options.comPort = shown.com1Selected ? 1 : shown.com2Selected ? 2 : shown.otherComPort;
    options.serial.baudRate = SerialEncodings::BaudAt(GetComboSel(IDC_SPEED));
    options.serial.parity = SerialEncodings::ParityCodeAt(GetComboSel(IDC_PARITY));
    options.serial.stopBits = SerialEncodings::StopBitsCodeAt(GetComboSel(IDC_STOP_BITS));
    options.logToFile = shown.logToFile != 0;
    options.logFileName = shown.logFileName;
    options.logToTcp = shown.logToTcp != 0;
    options.logAddress = shown.logAddress;
    options.logPort = shown.logPort;
    settings.CopyAccessTo(options);
    return options;
}

void CControlPanelDlg::ShowIdleLook() const
{
    SetDlgItemText(IDC_LISTEN, LISTEN_TEXT);
    for (int id : FREED_WHEN_IDLE)
        EnableDlgItem(id, true);
    presets.ApplyManualRule();
    ApplyLogRules();
}

void CControlPanelDlg::OnTimer(UINT_PTR id)
{
    if (id == LISTEN_LOCK_TIMER) {
        EnableDlgItem(IDC_LISTEN, true);
        KillTimer(LISTEN_LOCK_TIMER);
    }
}

void CControlPanelDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    if (editingServiceSettings) {
        if (serviceSettings.Save())
            EndDialog(IDOK);
        return;
    }
    if (engine.Listening())
        engine.Shutdown();
    CopyPanelToSettings();
    trayIcon.Remove();
    EndDialog(IDOK);
}

// Escape hides the panel like its close box: ending the program belongs to "&Koniec",
// which stops the engine, keeps the settings and removes the tray icon.
// The editing copy has no tray icon to come back from: there Escape drops the changes and ends it.
void CControlPanelDlg::OnCancel()
{
    if (editingServiceSettings)
        EndDialog(IDCANCEL);
    else
        trayIcon.Hide();
}

void CControlPanelDlg::OnClose()
{
    OnCancel();
}

void CControlPanelDlg::OnSize(UINT type, int, int)
{
    if (type == SIZE_MINIMIZED && !editingServiceSettings)
        trayIcon.Hide();
}

void CControlPanelDlg::OnSysCommand(UINT id, LPARAM)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
    } else if ((id & 0xFFF0) == IDM_SERVICE_SETTINGS && serviceHoldsLine) {
        serviceFace.OnEditSettings();
    } else {
        Default();
    }
}

void CControlPanelDlg::OnPaint()
{
    if (!IsIconic()) {
        Default();
        return;
    }
    CPaintDC dc(m_hWnd);
    ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.Get()), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc.Get(), x, y, icon);
}

LRESULT CControlPanelDlg::OnTrayNotify(WPARAM, LPARAM lParam)
{
    return trayIcon.OnNotify(lParam);
}

LRESULT CControlPanelDlg::OnWindowPosChanging(WPARAM, LPARAM lParam)
{
    trayIcon.FilterShow(*reinterpret_cast<WINDOWPOS*>(lParam));
    // Finished here rather than handed back to the dialog manager: handed back, a panel shown
    // again after it was closed got a Cancel at once and hid itself (seen under Wine).
    return ::DefWindowProcA(m_hWnd, WM_WINDOWPOSCHANGING, 0, lParam);
}

void CControlPanelDlg::CopyPanelToSettings()
{
    shown.speedIndex = GetComboSel(IDC_SPEED);
    shown.parityIndex = GetComboSel(IDC_PARITY);
    shown.stopBitsIndex = GetComboSel(IDC_STOP_BITS);
    settings.CopyFromPanel(shown);
}

LRESULT CControlPanelDlg::OnTaskbarCreated(WPARAM, LPARAM)
{
    return trayIcon.OnTaskbarCreated();
}

LRESULT CControlPanelDlg::OnShowPanel(WPARAM, LPARAM)
{
    return trayIcon.OnShowRequest();
}

// The user logs off or the machine shuts down: what "&Koniec" keeps is kept now, since the
// process may be ended as soon as this returns; nobody is there to answer a box.
LRESULT CControlPanelDlg::OnEndSession(WPARAM ending, LPARAM)
{
    if (!ending)
        return 0;
    ReadDataQuietly();
    CopyPanelToSettings();
    if (saveSettings)
        saveSettings();
    trayIcon.Remove();
    if (engine.Listening())
        engine.Shutdown();
    EndDialog(IDOK);
    return 0;
}
