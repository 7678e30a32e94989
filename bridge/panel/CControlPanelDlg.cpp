// The bridge's control panel: settings fields, enabling rules, model presets, Listen/Stop, tray icon.
#include "CControlPanelDlg.h"

#include "../../common/IntegerText.h"
#include "../../framework/CDataExchange.h"
#include "../../framework/CPaintDC.h"
#include <dbt.h>
#include "../engine/BridgeMessages.h"
#include "CAboutDlg.h"
#include "CAccessDlg.h"
#include "CInstanceGuard.h"
#include "../core/ListenCheck.h"
#include "../engine/LocalAddresses.h"
#include "../core/ModelPreset.h"
#include "../engine/SerialPortScan.h"
#include "../core/SerialEncodings.h"
#include "resource.h"

// Posted by the panel to itself: a failure waits to be shown in a box.
constexpr UINT WM_SHOW_ERROR = WM_APP + 5;

namespace {
constexpr UINT_PTR LISTEN_LOCK_TIMER = 1;
constexpr UINT LISTEN_LOCK_MS = 500;
constexpr const char* NO_CONNECTION_TEXT = "(brak połączenia)";
constexpr const char* LISTEN_TEXT = "&Nasłuchuj ...";
constexpr const char* STOP_TEXT = "&Stop";
constexpr const char* TRAY_TIP = "Vextor";

// Controls a running bridge keeps locked; the engine's steps lock more.
constexpr int LOCKED_WHILE_LISTENING[] = {IDC_COM1,       IDC_COM2,        IDC_COM_OTHER,   IDC_LOG_TO_TCP,
                                          IDC_LOG_TO_FILE, IDC_COM_GROUP,  IDC_LISTEN_PORT, IDC_CONFIG_PORT,
                                          IDC_MODEL,       IDC_MANUAL,     IDC_ACCESS};
constexpr int FREED_WHEN_IDLE[] = {IDC_COM1,         IDC_COM2,        IDC_COM_OTHER,    IDC_LOG_TO_TCP,
                                   IDC_LOG_TO_FILE,  IDC_COM_GROUP,   IDC_LISTEN_PORT,  IDC_CONFIG_PORT,
                                   IDC_SERIAL_GROUP, IDC_SPEED_LABEL, IDC_PARITY_LABEL, IDC_STOP_BITS_LABEL,
                                   IDC_MANUAL,       IDC_ACCESS};
// The list of other ports opens wider than its box, for the devices' long names.
constexpr int COM_LIST_DROPPED_WIDTH = 180;  // dialog units
// What the tray icon's tip says beside the program's name while the COM port is gone.
constexpr const char* TRAY_TIP_SEPARATOR = ": ";
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
    ON_MESSAGE(WM_RESUME_RECEIVE, OnResumeReceive)
    ON_MESSAGE(WM_LINE_RESULT, OnLineResult)
    ON_MESSAGE(WM_LOG_FAILURE, OnLogFailure)
    ON_MESSAGE(WM_LINE_LOST, OnLineLost)
    ON_MESSAGE(WM_DEVICECHANGE, OnDeviceChange)
    ON_MESSAGE(WM_SHOW_ERROR, OnShowError)
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
    DDX_Check(pDX, IDC_COM1, com1Selected);
    DDX_Check(pDX, IDC_COM2, com2Selected);
    DDX_Check(pDX, IDC_LOG_TO_FILE, logToFile);
    DDX_Check(pDX, IDC_LOG_TO_TCP, logToTcp);
    DDX_Check(pDX, IDC_MANUAL, manualParameters);
    DDX_Text(pDX, IDC_LISTEN_PORT, listenPort);
    DDX_Text(pDX, IDC_CONFIG_PORT, configPort);
    DDX_Text(pDX, IDC_LOG_ADDRESS, logAddress);
    DDX_Text(pDX, IDC_LOG_PORT, logPort);
    DDX_Text(pDX, IDC_LOG_FILE_NAME, logFileName);
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
    trayIcon.Add();
    engine.Attach(m_hWnd);

    FillLists();
    const PanelValues panel = settings.ToPanel();
    com1Selected = panel.com1Selected;
    com2Selected = panel.com2Selected;
    otherComPort = panel.otherComPort;
    listenPort = panel.listenPort;
    logPort = panel.logPort;
    logAddress = panel.logAddress;
    logFileName = panel.logFileName;
    logToFile = panel.logToFile;
    logToTcp = panel.logToTcp;
    SetComboSel(IDC_SPEED, panel.speedIndex);
    SetComboSel(IDC_PARITY, panel.parityIndex);
    SetComboSel(IDC_STOP_BITS, panel.stopBitsIndex);

    SendDlgItemMessage(IDC_SPEED, CB_SETEXTENDEDUI, TRUE);
    RECT dropped{0, 0, COM_LIST_DROPPED_WIDTH, 0};
    ::MapDialogRect(m_hWnd, &dropped);
    SendDlgItemMessage(IDC_COM_OTHER, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(dropped.right));
    FillComPorts();
    ApplyManualRule();
    ApplyLogRules();
    UpdateData(false);
    return TRUE;
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
    for (int i = 0; i < ModelPreset::MODEL_COUNT; ++i)
        add(IDC_MODEL, ModelPreset::ModelName(i));
}

void CControlPanelDlg::EnableItems(std::initializer_list<int> ids, bool enable) const
{
    for (int id : ids)
        EnableDlgItem(id, enable);
}

void CControlPanelDlg::ApplyManualRule() const
{
    EnableItems({IDC_SPEED, IDC_PARITY, IDC_STOP_BITS}, manualParameters != 0);
    EnableDlgItem(IDC_MODEL, manualParameters == 0);
}

void CControlPanelDlg::ApplyLogRules() const
{
    EnableItems({IDC_LOG_PORT, IDC_LOG_ADDRESS, IDC_LOG_ADDRESS_LABEL, IDC_LOG_PORT_LABEL}, logToTcp != 0);
    EnableDlgItem(IDC_LOG_FILE_NAME, logToFile != 0);
}

void CControlPanelDlg::OnCom1Clicked()
{
    UpdateData(true);
    if (com1Selected == 1) {
        com2Selected = 0;
        otherComPort = 0;
        // Write the check states only: a bad port field must not be overwritten or re-reported.
        SendDlgItemMessage(IDC_COM2, BM_SETCHECK, BST_UNCHECKED);
        SetComboSel(IDC_COM_OTHER, -1);
    }
}

void CControlPanelDlg::OnCom2Clicked()
{
    UpdateData(true);
    if (com2Selected == 1) {
        com1Selected = 0;
        otherComPort = 0;
        SendDlgItemMessage(IDC_COM1, BM_SETCHECK, BST_UNCHECKED);
        SetComboSel(IDC_COM_OTHER, -1);
    }
}

// A port from the list takes the place of the radio buttons' choice, as a third button would.
void CControlPanelDlg::OnOtherPortChosen()
{
    const int index = GetComboSel(IDC_COM_OTHER);
    if (index < 0)
        return;
    otherComPort = static_cast<int>(SendDlgItemMessage(IDC_COM_OTHER, CB_GETITEMDATA, static_cast<WPARAM>(index)));
    com1Selected = 0;
    com2Selected = 0;
    SendDlgItemMessage(IDC_COM1, BM_SETCHECK, BST_UNCHECKED);
    SendDlgItemMessage(IDC_COM2, BM_SETCHECK, BST_UNCHECKED);
}

// Read afresh whenever the list opens and whenever a device comes or goes: adapters are plugged
// in while the panel is open. The chosen port stays chosen, present or not.
void CControlPanelDlg::FillComPorts()
{
    SendDlgItemMessage(IDC_COM_OTHER, CB_RESETCONTENT);
    for (const ComPortList::Entry& entry : ComPortList::Entries(SerialPortScan::Present(), otherComPort)) {
        const auto index = SendDlgItemMessage(IDC_COM_OTHER, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.label.c_str()));
        if (index < 0)
            continue;
        SendDlgItemMessage(IDC_COM_OTHER, CB_SETITEMDATA, static_cast<WPARAM>(index), entry.number);
        if (entry.number == otherComPort)
            SetComboSel(IDC_COM_OTHER, static_cast<int>(index));
    }
}

LRESULT CControlPanelDlg::OnDeviceChange(WPARAM event, LPARAM)
{
    if (event == DBT_DEVICEARRIVAL || event == DBT_DEVICEREMOVECOMPLETE || event == DBT_DEVNODES_CHANGED)
        FillComPorts();
    engine.OnDeviceChange(event);
    // Nothing here objects to a device's removal.
    return TRUE;
}

void CControlPanelDlg::OnLogToFileClicked()
{
    UpdateData(true);
    EnableDlgItem(IDC_LOG_FILE_NAME, logToFile != 0);
}

void CControlPanelDlg::OnLogToTcpClicked()
{
    UpdateData(true);
    EnableItems({IDC_LOG_ADDRESS, IDC_LOG_ADDRESS_LABEL, IDC_LOG_PORT, IDC_LOG_PORT_LABEL}, logToTcp == 1);
}

void CControlPanelDlg::OnManualClicked()
{
    UpdateData(true);
    EnableItems({IDC_SPEED, IDC_PARITY, IDC_STOP_BITS}, manualParameters == 1);
    EnableDlgItem(IDC_MODEL, manualParameters != 1);
}

void CControlPanelDlg::ApplyModelPreset()
{
    if (auto preset = ModelPreset::ForModel(GetComboSel(IDC_MODEL))) {
        SetComboSel(IDC_SPEED, preset->speedIndex);
        SetComboSel(IDC_STOP_BITS, preset->stopBitsIndex);
        SetComboSel(IDC_PARITY, preset->parityIndex);
        listenPort = ModelPreset::PRESET_LISTEN_PORT;
        SetDlgItemText(IDC_LISTEN_PORT, IntegerText::Format(listenPort));
        configPort = ModelPreset::PRESET_CONFIG_PORT;
        SetDlgItemText(IDC_CONFIG_PORT, IntegerText::Format(configPort));
    }
    UpdateData(true);
}

void CControlPanelDlg::OnListenToggle()
{
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
        if (!failure)
            failure = engine.Start(options);
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
    options.listenPort = listenPort;
    options.configPort = configPort;
    options.comPort = com1Selected ? 1 : com2Selected ? 2 : otherComPort;
    options.serial.baudRate = SerialEncodings::BaudAt(GetComboSel(IDC_SPEED));
    options.serial.parity = SerialEncodings::ParityCodeAt(GetComboSel(IDC_PARITY));
    options.serial.stopBits = SerialEncodings::StopBitsCodeAt(GetComboSel(IDC_STOP_BITS));
    options.logToFile = logToFile != 0;
    options.logFileName = logFileName;
    options.logToTcp = logToTcp != 0;
    options.logAddress = logAddress;
    options.logPort = logPort;
    settings.CopyAccessTo(options);
    return options;
}

void CControlPanelDlg::Lock(ControlGroup group)
{
    switch (group) {
    case ControlGroup::CONNECTION:
        SetDlgItemText(IDC_LISTEN, STOP_TEXT);
        for (int id : LOCKED_WHILE_LISTENING)
            EnableDlgItem(id, false);
        break;
    case ControlGroup::LOG_RECEIVER:
        EnableItems({IDC_LOG_ADDRESS, IDC_LOG_ADDRESS_LABEL, IDC_LOG_PORT, IDC_LOG_PORT_LABEL}, false);
        break;
    case ControlGroup::LOG_FILE:
        EnableDlgItem(IDC_LOG_FILE_NAME, false);
        break;
    case ControlGroup::SERIAL_PARAMETERS:
        EnableItems({IDC_SERIAL_GROUP, IDC_SPEED_LABEL, IDC_PARITY_LABEL, IDC_STOP_BITS_LABEL, IDC_SPEED,
                     IDC_PARITY, IDC_STOP_BITS},
                    false);
        break;
    }
}

void CControlPanelDlg::ShowStatus(const std::string& text)
{
    statusText = text;
    UpdateData(false);
}

void CControlPanelDlg::ShowLineLost(const std::string& text)
{
    trayIcon.SetTip(text.empty() ? TRAY_TIP : (std::string(TRAY_TIP) + TRAY_TIP_SEPARATOR + text).c_str());
}

void CControlPanelDlg::ShowErrorLater(const std::string& text)
{
    laterErrors.push_back(text);
    ::PostMessageA(m_hWnd, WM_SHOW_ERROR, 0, 0);
}

LRESULT CControlPanelDlg::OnShowError(WPARAM, LPARAM)
{
    if (laterErrors.empty())
        return 0;
    const std::string text = laterErrors.front();
    laterErrors.pop_front();
    // Worded and shown like the file errors the framework reports.
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
    return 0;
}

void CControlPanelDlg::ShowSpeed(int speedIndex)
{
    SetComboSel(IDC_SPEED, speedIndex);
}

void CControlPanelDlg::ShowParity(int parityIndex)
{
    SetComboSel(IDC_PARITY, parityIndex);
}

void CControlPanelDlg::ShowStopBits(int stopBitsIndex)
{
    SetComboSel(IDC_STOP_BITS, stopBitsIndex);
}

void CControlPanelDlg::ShowIdleLook() const
{
    SetDlgItemText(IDC_LISTEN, LISTEN_TEXT);
    for (int id : FREED_WHEN_IDLE)
        EnableDlgItem(id, true);
    ApplyManualRule();
    ApplyLogRules();
}

void CControlPanelDlg::OnTimer(UINT_PTR id)
{
    if (id == LISTEN_LOCK_TIMER) {
        EnableDlgItem(IDC_LISTEN, true);
        KillTimer(LISTEN_LOCK_TIMER);
    } else {
        engine.OnTimer(id);
    }
}

void CControlPanelDlg::OnOK()
{
    if (!UpdateData(true))
        return;
    if (engine.Listening())
        engine.Shutdown();
    CopyPanelToSettings();
    trayIcon.Remove();
    EndDialog(IDOK);
}

// Escape hides the panel like its close box: ending the program belongs to "&Koniec",
// which stops the engine, keeps the settings and removes the tray icon.
void CControlPanelDlg::OnCancel()
{
    HideToTray();
}

void CControlPanelDlg::OnClose()
{
    HideToTray();
}

void CControlPanelDlg::OnSize(UINT type, int, int)
{
    if (type == SIZE_MINIMIZED)
        HideToTray();
}

void CControlPanelDlg::HideToTray()
{
    ShowWindow(SW_HIDE);
    windowShown = false;
    trayIcon.Add();
}

void CControlPanelDlg::OnSysCommand(UINT id, LPARAM)
{
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.DoModal();
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
    if (LOWORD(lParam) != WM_LBUTTONDOWN)
        return 0;
    if (windowShown) {
        ShowWindow(SW_HIDE);
        windowShown = false;
    } else {
        windowShown = true;
        ShowWindow(SW_RESTORE);
        ::SetForegroundWindow(m_hWnd);
        ::SetFocus(m_hWnd);
    }
    return 0;
}

// The dialog manager shows a modal dialog once its queue first runs empty. A panel hidden to the
// tray before that moment (closed at once after starting) would pop up again by itself, so a
// show is let through only while the panel means to be seen.
LRESULT CControlPanelDlg::OnWindowPosChanging(WPARAM, LPARAM lParam)
{
    auto* pos = reinterpret_cast<WINDOWPOS*>(lParam);
    if (!windowShown)
        pos->flags &= ~SWP_SHOWWINDOW;
    Default();
    return 0;
}

void CControlPanelDlg::CopyPanelToSettings()
{
    PanelValues panel;
    panel.com1Selected = com1Selected;
    panel.com2Selected = com2Selected;
    panel.otherComPort = otherComPort;
    panel.speedIndex = GetComboSel(IDC_SPEED);
    panel.parityIndex = GetComboSel(IDC_PARITY);
    panel.stopBitsIndex = GetComboSel(IDC_STOP_BITS);
    panel.listenPort = listenPort;
    panel.logPort = logPort;
    panel.logAddress = logAddress;
    panel.logFileName = logFileName;
    panel.logToFile = logToFile;
    panel.logToTcp = logToTcp;
    settings.CopyFromPanel(panel);
}

LRESULT CControlPanelDlg::OnTaskbarCreated(WPARAM, LPARAM)
{
    trayIcon.AddAgain();
    return 0;
}

// A second start of the program asks for the panel: shown as a click on the tray icon shows it.
LRESULT CControlPanelDlg::OnShowPanel(WPARAM, LPARAM)
{
    const bool wasShown = windowShown;
    windowShown = true;
    ShowWindow(IsIconic() || !wasShown ? SW_RESTORE : SW_SHOW);
    // A box open over the panel comes first, as the panel would bring it when activated.
    ::SetForegroundWindow(::GetLastActivePopup(m_hWnd));
    return 0;
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
