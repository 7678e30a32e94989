// The bridge's control panel: settings fields, enabling rules, model presets, Listen/Stop, tray icon.
#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "../framework/CDialog.h"
#include "../framework/CEvent.h"
#include "../framework/CFile.h"
#include "../framework/CHandle.h"
#include "../framework/CWinThread.h"
#include "BridgeSettings.h"
#include "CBridgeSocket.h"

// Tray icon callback message.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 2;
// The serial worker's hand-overs to the window thread.
constexpr UINT WM_SERIAL_WRITTEN = 103;
constexpr UINT WM_EXCHANGE_DATA = 104;
// Posted by the worker when the data connection's buffer is free again.
constexpr UINT WM_RESUME_RECEIVE = WM_APP + 1;

class CControlPanelDlg : public CDialog {
public:
    explicit CControlPanelDlg(BridgeSettings& settings);
    ~CControlPanelDlg() override;

    void AddTrayIcon() const;
    void RemoveTrayIcon() const;

    // Panel fields, exchanged with the controls (UI thread only).
    int com1Selected = 0;
    int com2Selected = 0;
    int logToFile = 0;
    std::string logFileName;
    int logToTcp = 0;
    std::string logAddress;
    int logPort = 0;
    int listenPort = 0;
    int configPort = 5002;
    int manualParameters = 1;
    std::string statusText;
    bool windowShown = true;

    // Engine: serial line.
    void OpenSerialPort(int portNumber);
    void ApplySerialSettings(int speedIndex);
    static UINT SerialWorker(void* parameter);
    LRESULT OnSerialWritten(WPARAM, LPARAM count);
    void StopSerialLine();
    void ChangeLineSpeed(DWORD rate);

    // Engine: sockets (called by CBridgeSocket on the UI thread).
    bool CanTakeChunk(const CBridgeSocket& socket) const;
    void OnSocketAccept(CBridgeSocket& listener);
    void OnSocketReceive(CBridgeSocket& socket);
    void OnSocketClose(CBridgeSocket& socket);
    LRESULT OnExchangeData(WPARAM, LPARAM);

    // Engine: traffic log.
    void OpenLogFile();
    void ConnectLogReceiver();

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnCom1Clicked();
    void OnCom2Clicked();
    void OnLogToFileClicked();
    void OnLogToTcpClicked();
    void OnManualClicked();
    void ApplyModelPreset();
    void OnListenToggle();
    void OnTimer(UINT_PTR id);
    void OnClose();
    void OnSize(UINT type, int cx, int cy);
    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon() const { return icon; }
    LRESULT OnTrayNotify(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP(CControlPanelDlg)

private:
    void FillLists() const;
    void ApplyManualRule() const;
    void ApplyLogRules() const;
    void ShowListeningLook() const;
    void ShowIdleLook() const;
    void HideToTray();
    void CopyPanelToSettings();
    void EnableItems(std::initializer_list<int> ids, bool enable) const;

    void StartEngine();
    void StopEngine();
    void ExitShutdown();
    void CloseLogFile();
    void WriteLogEntry(const std::string& prefix, const void* data = nullptr, size_t length = 0);
    void ParseConfigRecords(CBridgeSocket& socket);
    LRESULT OnResumeReceive(WPARAM, LPARAM);
    bool WorkerRuns() const { return worker != nullptr; }
    void PauseWorker();
    void ResumeWorker();
    void WaitForWorker(const std::atomic<int>& flag, int value);
    bool EngineBusy() const { return serialWaits > 0; }

    BridgeSettings& settings;
    HICON icon;
    int listening = 0;  // UI thread only

    // Sockets (UI thread only).
    CBridgeSocket dataConnection;
    CBridgeSocket logLink;
    CBridgeSocket dataListener;
    CBridgeSocket cfgListener;
    CBridgeSocket cfgConnection;

    // Serial line. The port is opened before the worker starts and closed after it stopped,
    // so the worker may use it without further agreement.
    CHandle port;
    DCB lineSettings{};              // UI thread
    COMMTIMEOUTS timeouts{};         // UI thread
    CWinThread* worker = nullptr;    // UI thread: the running worker, never dereferenced
    HWND workerTarget = nullptr;     // written before the worker starts, then read by it
    std::atomic<int> runFlag{0};         // UI thread clears it to stop the worker
    std::atomic<int> aliveFlag{0};       // the worker clears it when it leaves its loop
    std::atomic<int> pauseRequest{0};    // UI thread -> worker
    std::atomic<int> pauseAcknowledged{0};  // worker -> UI thread
    CEvent workerSignal{false, false};   // the worker changed alive or pause acknowledged
    CEvent resumeSignal{false, false};   // the UI thread dropped the pause request
    int serialWaits = 0;             // UI thread: nesting of waits for the worker
    std::uint8_t exchangeBuffer[2000] = {};  // filled by the worker, emptied by OnExchangeData
    std::atomic<std::uint32_t> exchangeCount{0};

    // Traffic log (UI thread only).
    std::unique_ptr<CFile> logFile;

};
