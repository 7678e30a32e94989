// The bridge's control panel: settings fields, enabling rules, model presets, Listen/Stop, tray icon.
#include "CControlPanelDlg.h"

#include <mmsystem.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "../framework/AfxWait.h"
#include "../framework/CDataExchange.h"
#include "../framework/DialogInteger.h"
#include "CAboutDlg.h"
#include "ConfigRecord.h"
#include "ModelPreset.h"
#include "SerialEncodings.h"
#include "TrafficLogFormat.h"
#include "resource.h"

namespace {
constexpr UINT_PTR LISTEN_LOCK_TIMER = 1;
constexpr UINT LISTEN_LOCK_MS = 500;
constexpr const char* NO_CONNECTION_TEXT = "(brak połączenia)";
constexpr const char* LISTEN_TEXT = "&Nasłuchuj ...";
constexpr const char* STOP_TEXT = "&Stop";
constexpr const char* TRAY_TIP = "Vextor";

// Controls a running bridge keeps locked; the engine's steps lock more.
constexpr int kLockedWhileListening[] = {IDC_COM1,   IDC_COM2,        IDC_LOG_TO_TCP,  IDC_LOG_TO_FILE, IDC_COM_GROUP,
                                         IDC_LISTEN_PORT, IDC_CONFIG_PORT, IDC_MODEL, IDC_MANUAL};
constexpr int kFreedWhenIdle[] = {IDC_COM1,        IDC_COM2,         IDC_LOG_TO_TCP,   IDC_LOG_TO_FILE,
                                  IDC_COM_GROUP,   IDC_LISTEN_PORT,  IDC_CONFIG_PORT,  IDC_SERIAL_GROUP,
                                  IDC_SPEED_LABEL, IDC_PARITY_LABEL, IDC_STOP_BITS_LABEL, IDC_MANUAL};

NOTIFYICONDATAA TrayRecord(HWND owner)
{
    NOTIFYICONDATAA data{};
    // The shell version 5 layout: 488 bytes in the 32-bit release.
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = owner;
    data.uID = IDI_TRAY;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAY_NOTIFY;
    data.hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDI_TRAY));
    ::lstrcpynA(data.szTip, TRAY_TIP, 128);
    return data;
}
}

#if defined(__i386__)
static_assert(NOTIFYICONDATAA_V2_SIZE == 488, "tray record must keep its 488-byte form");
#endif

BEGIN_MESSAGE_MAP(CControlPanelDlg, CDialog)
    ON_BN_CLICKED(IDC_COM1, OnCom1Clicked)
    ON_BN_CLICKED(IDC_COM2, OnCom2Clicked)
    ON_BN_CLICKED(IDC_LOG_TO_FILE, OnLogToFileClicked)
    ON_BN_CLICKED(IDC_LOG_TO_TCP, OnLogToTcpClicked)
    ON_BN_CLICKED(IDC_MANUAL, OnManualClicked)
    ON_CBN_SELCHANGE(IDC_MODEL, ApplyModelPreset)
    ON_BN_CLICKED(IDC_LISTEN, OnListenToggle)
    ON_WM_TIMER()
    ON_WM_CLOSE()
    ON_WM_SIZE()
    ON_WM_SYSCOMMAND()
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
    ON_MESSAGE(WM_TRAY_NOTIFY, OnTrayNotify)
    ON_MESSAGE(WM_EXCHANGE_DATA, OnExchangeData)
    ON_MESSAGE(WM_RESUME_RECEIVE, OnResumeReceive)
END_MESSAGE_MAP()

CControlPanelDlg::CControlPanelDlg(BridgeSettings& settings)
    : CDialog(IDD_CONTROL_PANEL), settings(settings),
      icon(::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME)))
{
}

CControlPanelDlg::~CControlPanelDlg()
{
    // However the panel ended, no worker may outlive the buffers it uses.
    StopSerialLine();
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
    AddTrayIcon();
    dataListener.owner = this;
    cfgListener.owner = this;

    FillLists();
    const PanelValues panel = settings.ToPanel();
    com1Selected = panel.com1Selected;
    com2Selected = panel.com2Selected;
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
        // Write the check states only: a bad port field must not be overwritten or re-reported.
        SendDlgItemMessage(IDC_COM2, BM_SETCHECK, BST_UNCHECKED);
    }
}

void CControlPanelDlg::OnCom2Clicked()
{
    UpdateData(true);
    if (com2Selected == 1) {
        com1Selected = 0;
        SendDlgItemMessage(IDC_COM1, BM_SETCHECK, BST_UNCHECKED);
    }
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
        SetDlgItemText(IDC_LISTEN_PORT, DialogInteger::Format(listenPort));
        configPort = ModelPreset::PRESET_CONFIG_PORT;
        SetDlgItemText(IDC_CONFIG_PORT, DialogInteger::Format(configPort));
    }
    UpdateData(true);
}

void CControlPanelDlg::OnListenToggle()
{
    // A click that arrives while the window thread waits for the serial worker is dropped.
    if (EngineBusy() || !UpdateData(true))
        return;
    // The button stays dead for half a second so that a double click acts once.
    EnableDlgItem(IDC_LISTEN, false);
    SetTimer(LISTEN_LOCK_TIMER, LISTEN_LOCK_MS);
    statusText = NO_CONNECTION_TEXT;
    UpdateData(false);

    if (!listening)
        StartEngine();
    else
        StopEngine();
}

void CControlPanelDlg::ShowListeningLook() const
{
    SetDlgItemText(IDC_LISTEN, STOP_TEXT);
    for (int id : kLockedWhileListening)
        EnableDlgItem(id, false);
}

void CControlPanelDlg::ShowIdleLook() const
{
    SetDlgItemText(IDC_LISTEN, LISTEN_TEXT);
    for (int id : kFreedWhenIdle)
        EnableDlgItem(id, true);
    ApplyManualRule();
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
    if (EngineBusy() || !UpdateData(true))
        return;
    if (listening)
        ExitShutdown();
    CopyPanelToSettings();
    RemoveTrayIcon();
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
    AddTrayIcon();
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
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    const int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, icon);
    ::EndPaint(m_hWnd, &paint);
}

LRESULT CControlPanelDlg::OnTrayNotify(WPARAM, LPARAM lParam)
{
    if (LOWORD(lParam) != WM_LBUTTONDOWN)
        return 0;
    if (windowShown) {
        ShowWindow(SW_HIDE);
        windowShown = false;
    } else {
        ShowWindow(SW_RESTORE);
        ::SetForegroundWindow(m_hWnd);
        ::SetFocus(m_hWnd);
        windowShown = true;
    }
    return 0;
}

void CControlPanelDlg::AddTrayIcon() const
{
    NOTIFYICONDATAA data = TrayRecord(m_hWnd);
    ::Shell_NotifyIconA(NIM_ADD, &data);
}

void CControlPanelDlg::RemoveTrayIcon() const
{
    NOTIFYICONDATAA data = TrayRecord(m_hWnd);
    ::Shell_NotifyIconA(NIM_DELETE, &data);
}

void CControlPanelDlg::CopyPanelToSettings()
{
    PanelValues panel;
    panel.com1Selected = com1Selected;
    panel.com2Selected = com2Selected;
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

// ---------------------------------------------------------------------------------------------
// Engine: start, stop, accept, close, receive and the exchange's output.

void CControlPanelDlg::StartEngine()
{
    listening = 1;
    dataListener.Create(static_cast<UINT>(listenPort), SOCK_STREAM, CAsyncSocket::ALL_EVENTS, nullptr);
    dataListener.Listen(5);
    dataListener.role = ROLE_DATA_LISTENER;
    cfgListener.Create(static_cast<UINT>(configPort), SOCK_STREAM, CAsyncSocket::ALL_EVENTS, nullptr);
    cfgListener.Listen(5);
    cfgListener.role = ROLE_CFG_LISTENER;
    ShowListeningLook();
    if (logToTcp)
        ConnectLogReceiver();
    if (logToFile)
        OpenLogFile();  // throws when the file cannot be made: the serial line then stays closed
    if (com1Selected)
        OpenSerialPort(1);
    if (com2Selected)
        OpenSerialPort(2);
}

void CControlPanelDlg::StopEngine()
{
    ExitShutdown();
    listening = 0;
    cfgConnection.Disconnect();
    cfgListener.Close();
    ShowIdleLook();
}

// The serial line, the log and the data side; the configuration side closes with the window.
void CControlPanelDlg::ExitShutdown()
{
    StopSerialLine();
    CloseLogFile();
    if (logToTcp)
        logLink.Close();
    dataConnection.Disconnect();
    dataListener.Close();
}

void CControlPanelDlg::OnSocketAccept(CBridgeSocket& listener)
{
    CBridgeSocket* connection = listener.role == ROLE_DATA_LISTENER ? &dataConnection
                                : listener.role == ROLE_CFG_LISTENER ? &cfgConnection
                                                                     : nullptr;
    if (connection) {
        // A newcomer takes over: the current client is cut off without a word.
        if (connection->connected)
            connection->Disconnect();
        else
            connection->owner = this;
        connection->connected = listener.Accept(*connection) ? 1 : 0;
        connection->role = listener.role == ROLE_DATA_LISTENER ? ROLE_DATA_CONNECTION : ROLE_CFG_CONNECTION;
    }
    std::string address;
    UINT port = 0;
    statusText = listener.GetSockName(address, port) ? address : std::string();
    UpdateData(false);
}

void CControlPanelDlg::OnSocketClose(CBridgeSocket& socket)
{
    if (socket.role == ROLE_LOG_LINK) {
        // The receiver went away: nothing more reaches it until the next Listen.
        socket.Close();
        return;
    }
    if ((socket.role == ROLE_DATA_CONNECTION || socket.role == ROLE_CFG_CONNECTION) && socket.connected)
        socket.Disconnect();
    statusText = NO_CONNECTION_TEXT;
    UpdateData(false);
}

bool CControlPanelDlg::CanTakeChunk(const CBridgeSocket& socket) const
{
    // The client's bytes are taken only when a serial worker is there to carry them.
    return socket.role != ROLE_DATA_CONNECTION || (socket.connected && WorkerRuns());
}

void CControlPanelDlg::OnSocketReceive(CBridgeSocket& socket)
{
    if (socket.role == ROLE_LOG_LINK) {
        char discard[CBridgeSocket::CHUNK_SIZE];
        socket.Receive(discard, sizeof discard);
        return;
    }
    if (socket.role != ROLE_DATA_CONNECTION && socket.role != ROLE_CFG_CONNECTION)
        return;

    // Never more than the buffer has room for.
    const std::uint32_t count = socket.pendingCount;
    const std::uint32_t room = CBridgeSocket::PENDING_SIZE - count;
    std::uint8_t chunk[CBridgeSocket::CHUNK_SIZE];
    const int received = socket.Receive(chunk, static_cast<int>(std::min(room, CBridgeSocket::CHUNK_SIZE)));
    if (received <= 0)
        return;  // a failed receive changes nothing and logs nothing
    std::memcpy(socket.pending + count, chunk, static_cast<size_t>(received));
    socket.pendingCount = count + static_cast<std::uint32_t>(received);  // published after the bytes

    const bool data = socket.role == ROLE_DATA_CONNECTION;
    WriteLogEntry(TrafficLogFormat::ClientPrefix(data ? listenPort : configPort), chunk, static_cast<size_t>(received));
    if (data) {
        if (logToTcp)
            logLink.Send(chunk, received, 0);
    } else {
        ParseConfigRecords(socket);
    }
}

void CControlPanelDlg::ParseConfigRecords(CBridgeSocket& socket)
{
    for (;;) {
        const std::uint32_t count = socket.pendingCount;
        auto record = ConfigRecord::Front(socket.pending, count);
        if (!record)
            break;
        // Records have one size whatever their code, so an unknown one is logged and skipped.
        if (record->code == ConfigRecord::CFG_SPEED) {
            WriteLogEntry(TrafficLogFormat::SpeedRequest(configPort, record->value));
            ChangeLineSpeed(record->value);
        } else {
            WriteLogEntry(TrafficLogFormat::UnknownRecord(configPort, record->code));
        }
        std::memmove(socket.pending, socket.pending + ConfigRecord::SIZE, count - ConfigRecord::SIZE);
        socket.pendingCount = count - static_cast<std::uint32_t>(ConfigRecord::SIZE);
    }
}

LRESULT CControlPanelDlg::OnResumeReceive(WPARAM, LPARAM)
{
    if (dataConnection.receiveWaiting && dataConnection.connected)
        dataConnection.OnReceive(0);
    return 0;
}

LRESULT CControlPanelDlg::OnExchangeData(WPARAM, LPARAM)
{
    // Whatever happens below, the worker's next chunk starts at the front of the buffer.
    struct Empty {
        std::atomic<std::uint32_t>& count;
        ~Empty() { count = 0; }
    } empty{exchangeCount};
    std::uint32_t count = exchangeCount;
    WriteLogEntry(TrafficLogFormat::EXCHANGE_PREFIX, exchangeBuffer, count);
    if (dataConnection.connected) {
        std::uint32_t offset = 0;
        while (offset < count) {
            const int sent = dataConnection.Send(exchangeBuffer + offset, static_cast<int>(count - offset), 0);
            if (sent == SOCKET_ERROR || sent <= 0)
                break;  // the rest of this chunk is dropped
            offset += static_cast<std::uint32_t>(sent);
        }
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Engine: traffic log.

void CControlPanelDlg::OpenLogFile()
{
    logFile = std::make_unique<CFile>(logFileName, CFile::modeCreate | CFile::modeReadWrite);
    EnableDlgItem(IDC_LOG_FILE_NAME, false);
}

void CControlPanelDlg::CloseLogFile()
{
    if (logToFile && logFile) {
        logFile->Close();
        logFile.reset();
    }
}

void CControlPanelDlg::ConnectLogReceiver()
{
    logLink.Create(0, SOCK_STREAM, CAsyncSocket::ALL_EVENTS, nullptr);
    logLink.role = ROLE_LOG_LINK;
    logLink.owner = this;
    logLink.Connect(logAddress.c_str(), static_cast<UINT>(logPort));
    EnableItems({IDC_LOG_ADDRESS, IDC_LOG_ADDRESS_LABEL, IDC_LOG_PORT, IDC_LOG_PORT_LABEL}, false);
}

void CControlPanelDlg::WriteLogEntry(const std::string& prefix, const void* data, size_t length)
{
    if (!logToFile || !logFile)
        return;
    logFile->Write(prefix.data(), prefix.size());
    if (length > 0)
        logFile->Write(data, length);
}

// ---------------------------------------------------------------------------------------------
// Engine: serial line.

void CControlPanelDlg::OpenSerialPort(int portNumber)
{
    // Only one line runs at a time: a second open replaces the first line and its worker.
    StopSerialLine();
    char name[16];
    std::snprintf(name, sizeof name, "COM%d", portNumber);
    EnableItems({IDC_SERIAL_GROUP, IDC_SPEED_LABEL, IDC_PARITY_LABEL, IDC_STOP_BITS_LABEL, IDC_SPEED, IDC_PARITY,
                 IDC_STOP_BITS},
                false);
    port.Reset(::CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!port.IsValid())
        AfxMessageBox("Handle Error COM1", MB_OK);
    ApplySerialSettings(GetComboSel(IDC_SPEED));
    const BOOL applied = ::SetCommState(port.Get(), &lineSettings);
    ::SetupComm(port.Get(), 15000, 15000);
    if (!applied) {
        char text[64];
        std::snprintf(text, sizeof text, "Błąd ustawień COM%d", portNumber);
        AfxMessageBox(text, MB_OK);
    }
    ::SetCommTimeouts(port.Get(), &timeouts);

    // The worker starts suspended so that it is published before it runs; and it is told
    // to run before it can look, so that a quick Stop cannot be overtaken by its start.
    workerTarget = m_hWnd;
    runFlag = 1;
    aliveFlag = 1;
    worker = AfxBeginThread(SerialWorker, this, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    if (!worker) {
        runFlag = 0;
        aliveFlag = 0;
        return;
    }
    ::ResumeThread(worker->m_hThread);
}

void CControlPanelDlg::ApplySerialSettings(int speedIndex)
{
    lineSettings.DCBlength = sizeof lineSettings;
    ::GetCommState(port.Get(), &lineSettings);
    ::GetCommTimeouts(port.Get(), &timeouts);
    if (const int baud = SerialEncodings::BaudAt(speedIndex); baud >= 0) {
        lineSettings.BaudRate = static_cast<DWORD>(baud);
        // Reads return at once with whatever has arrived.
        timeouts.ReadIntervalTimeout = MAXDWORD;
        timeouts.ReadTotalTimeoutMultiplier = 0;
        timeouts.ReadTotalTimeoutConstant = 0;
    }
    lineSettings.ByteSize = 8;
    if (const int parity = SerialEncodings::ParityCodeAt(GetComboSel(IDC_PARITY)); parity >= 0)
        lineSettings.Parity = static_cast<BYTE>(parity);
    if (const int stopBits = SerialEncodings::StopBitsCodeAt(GetComboSel(IDC_STOP_BITS)); stopBits >= 0)
        lineSettings.StopBits = static_cast<BYTE>(stopBits);
    lineSettings.fBinary = 1;
    lineSettings.fParity = 0;
    lineSettings.fOutxCtsFlow = 0;
    lineSettings.fOutxDsrFlow = 0;
    lineSettings.fDtrControl = DTR_CONTROL_ENABLE;
    lineSettings.fRtsControl = RTS_CONTROL_DISABLE;
    ::EscapeCommFunction(port.Get(), CLRRTS);
    lineSettings.fDsrSensitivity = 0;
    lineSettings.fOutX = 0;
    lineSettings.fInX = 0;
    lineSettings.fAbortOnError = 0;
}

UINT CControlPanelDlg::SerialWorker(void* parameter)
{
    auto* panel = static_cast<CControlPanelDlg*>(parameter);
    // Sleep(5) must last about 5 ms, not a whole 15.6 ms scheduler tick.
    ::timeBeginPeriod(1);
    constexpr DWORD READ_BLOCK = 100;
    bool backlog = false;  // the last read filled its whole block: read again without pausing
    while (panel->runFlag) {
        if (panel->pauseRequest) {
            // Paused: no ReadFile or WriteFile until the request drops.
            panel->pauseAcknowledged = 1;
            panel->workerSignal.SetEvent();
            while (panel->pauseRequest && panel->runFlag)
                panel->resumeSignal.Lock(100);
            panel->pauseAcknowledged = 0;
            panel->workerSignal.SetEvent();
            continue;
        }

        // The client's chunk goes out between reads, also while the exchange keeps talking.
        if (const std::uint32_t count = panel->dataConnection.pendingCount; count > 0) {
            std::unique_ptr<std::uint8_t[]> block(new std::uint8_t[count]);
            std::memcpy(block.get(), panel->dataConnection.pending, count);
            std::uint32_t written = 0;
            while (written < count) {
                DWORD done = 0;
                if (!::WriteFile(panel->port.Get(), block.get() + written, count - written, &done, nullptr) ||
                    done == 0)
                    break;  // a line that takes nothing drops the rest of this chunk
                written += done;
            }
            // The whole chunk leaves the buffer, written or not, so that the client's next chunk can come.
            panel->OnSerialWritten(0, static_cast<LPARAM>(count));
        }

        if (!backlog)
            ::Sleep(5);
        std::uint8_t block[READ_BLOCK];
        DWORD read = 0;
        // Asking the driver's input queue first is much cheaper than a read that finds
        // nothing, which keeps an idle line from costing CPU; a failed query reads anyway.
        DWORD errors = 0;
        COMSTAT status{};
        const bool queueKnown = ::ClearCommError(panel->port.Get(), &errors, &status) != FALSE;
        if ((!queueKnown || status.cbInQue > 0) &&
            !::ReadFile(panel->port.Get(), block, READ_BLOCK, &read, nullptr))
            read = 0;
        backlog = read == READ_BLOCK;
        if (read > 0) {
            std::uint32_t count = panel->exchangeCount;
            if (count + read > sizeof panel->exchangeBuffer)
                count = 0;  // the window never took the last chunk (it is gone); start afresh
            std::memcpy(panel->exchangeBuffer + count, block, read);
            panel->exchangeCount = count + read;
            ::SendMessageA(panel->workerTarget, WM_EXCHANGE_DATA, 0, 0);
        }
    }
    ::timeEndPeriod(1);
    panel->aliveFlag = 0;
    panel->workerSignal.SetEvent();
    return 0;
}

LRESULT CControlPanelDlg::OnSerialWritten(WPARAM, LPARAM count)
{
    // Runs on the worker thread: the window thread does not touch the buffer until the event.
    const std::uint32_t written = static_cast<std::uint32_t>(count);
    const std::uint32_t pending = dataConnection.pendingCount;
    const std::uint32_t rest = pending > written ? pending - written : 0;
    std::memmove(dataConnection.pending, dataConnection.pending + written, rest);
    dataConnection.pendingCount = rest;
    dataConnection.bufferFree.SetEvent();
    ::PostMessageA(workerTarget, WM_RESUME_RECEIVE, 0, 0);
    return 0;
}

void CControlPanelDlg::WaitForWorker(const std::atomic<int>& flag, int value)
{
    // The worker may be inside SendMessage to this thread: serve it while waiting.
    ++serialWaits;
    DWORD waited = 0;
    while (flag != value) {
        if (!AfxWaitServingSentMessages(workerSignal.Handle(), 1000)) {
            waited += 1000;
            // A write the line never accepts would hold the worker for good: abort it.
            if (waited >= 2000)
                ::PurgeComm(port.Get(), PURGE_TXABORT | PURGE_TXCLEAR);
        }
    }
    --serialWaits;
}

void CControlPanelDlg::StopSerialLine()
{
    if (worker) {
        runFlag = 0;
        resumeSignal.SetEvent();
        WaitForWorker(aliveFlag, 0);
        worker = nullptr;
    }
    port.Close();
}

void CControlPanelDlg::PauseWorker()
{
    pauseRequest = 1;
    WaitForWorker(pauseAcknowledged, 1);
}

void CControlPanelDlg::ResumeWorker()
{
    pauseRequest = 0;
    resumeSignal.SetEvent();
    WaitForWorker(pauseAcknowledged, 0);
}

void CControlPanelDlg::ChangeLineSpeed(DWORD rate)
{
    const bool paused = WorkerRuns();
    if (paused)
        PauseWorker();
    // The worker goes on even when writing the log fails below.
    struct Resume {
        CControlPanelDlg& panel;
        bool paused;
        ~Resume()
        {
            if (paused)
                panel.ResumeWorker();
        }
    } resume{*this, paused};

    lineSettings.DCBlength = sizeof lineSettings;
    if (!::GetCommState(port.Get(), &lineSettings)) {
        WriteLogEntry(TrafficLogFormat::StateUnreadable(configPort));
    } else if (lineSettings.BaudRate != rate) {
        lineSettings.BaudRate = rate;
        if (::SetCommState(port.Get(), &lineSettings)) {
            const int shown = rate == 19200 ? 8 : rate == 2400 ? 4 : rate == 4800 ? 5 : rate == 9600 ? 7 : -1;
            if (shown >= 0)
                SetComboSel(IDC_SPEED, shown);
            WriteLogEntry(TrafficLogFormat::SpeedSet(configPort, rate));
        } else {
            WriteLogEntry(TrafficLogFormat::SpeedRefused(configPort, rate));
        }
    }
    DWORD errors = 0;
    ::ClearCommError(port.Get(), &errors, nullptr);
    ::PurgeComm(port.Get(), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}
