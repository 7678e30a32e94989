// The panel's face of the engine: what the engine reports, shown in the panel's controls, tray tip and boxes.
#include "PanelEngineView.h"

#include <utility>

#include "../../framework/CAsyncSocket.h"
#include "../../framework/CException.h"
#include "../core/SerialEncodings.h"
#include "CControlPanelDlg.h"
#include "resource.h"

namespace {
constexpr const char* STOP_TEXT = "&Stop";
constexpr const char* TRAY_TIP = "Vextor";
// What the tray icon's tip says beside the program's name while the COM port is gone.
constexpr const char* TRAY_TIP_SEPARATOR = ": ";

// Controls a running bridge keeps locked; the engine's later stages lock more.
constexpr int LOCKED_WHILE_LISTENING[] = {IDC_COM1,       IDC_COM2,        IDC_COM_OTHER,   IDC_LOG_TO_TCP,
                                          IDC_LOG_TO_FILE, IDC_COM_GROUP,  IDC_LISTEN_PORT, IDC_CONFIG_PORT,
                                          IDC_MODEL,       IDC_MANUAL,     IDC_ACCESS};
constexpr int LOCKED_WITH_LOG_RECEIVER[] = {IDC_LOG_ADDRESS, IDC_LOG_ADDRESS_LABEL, IDC_LOG_PORT, IDC_LOG_PORT_LABEL};
constexpr int LOCKED_WITH_LINE[] = {IDC_SERIAL_GROUP, IDC_SPEED_LABEL, IDC_PARITY_LABEL, IDC_STOP_BITS_LABEL,
                                    IDC_SPEED,        IDC_PARITY,      IDC_STOP_BITS};
}

PanelEngineView::PanelEngineView(CControlPanelDlg& owner) : panel(owner)
{
    // A socket handler that failed is shown as any handler's failure in the panel.
    CAsyncSocket::SetFailureHook([](const std::exception& e) {
        if (const auto* failure = dynamic_cast<const CException*>(&e))
            failure->ReportError();
        else
            AfxMessageBox(e.what(), MB_OK | MB_ICONEXCLAMATION);
    });
}

void PanelEngineView::BeginListen()
{
    listening = true;
}

void PanelEngineView::EndListen()
{
    listening = false;
    if (playing)
        return;  // the outer showing goes on with what was added
    playing = true;
    while (!held.empty()) {
        const auto step = std::move(held.front());
        held.pop_front();
        step();
    }
    playing = false;
}

void PanelEngineView::Show(std::function<void()> step)
{
    if (listening || playing)
        held.push_back(std::move(step));
    else
        step();
}

void PanelEngineView::StageReached(ListenStage stage)
{
    Show([this, stage] {
        switch (stage) {
        case ListenStage::LISTENING:
            panel.SetDlgItemText(IDC_LISTEN, STOP_TEXT);
            for (int id : LOCKED_WHILE_LISTENING)
                panel.EnableDlgItem(id, false);
            break;
        case ListenStage::LOG_RECEIVER_LINKED:
            for (int id : LOCKED_WITH_LOG_RECEIVER)
                panel.EnableDlgItem(id, false);
            break;
        case ListenStage::LOG_FILE_OPEN:
            panel.EnableDlgItem(IDC_LOG_FILE_NAME, false);
            break;
        case ListenStage::LINE_OPENING:
            for (int id : LOCKED_WITH_LINE)
                panel.EnableDlgItem(id, false);
            break;
        }
    });
}

void PanelEngineView::StatusChanged(const std::string& text)
{
    Show([this, text] {
        panel.statusText = text;
        panel.UpdateData(false);
    });
}

void PanelEngineView::LineLost(const std::string& text)
{
    Show([this, text] { ShowTrayTip(std::string(TRAY_TIP) + TRAY_TIP_SEPARATOR + text); });
}

void PanelEngineView::LineBack()
{
    Show([this] { ShowTrayTip(TRAY_TIP); });
}

void PanelEngineView::ShowTrayTip(const std::string& text) const
{
    panel.trayIcon.SetTip(text.c_str());
}

void PanelEngineView::RateSet(std::uint32_t bitsPerSecond, RateCause cause)
{
    // The list follows a com-port client's every rate (none shown when it has no entry), but a
    // speed record's only for the rates the list has always followed.
    const int index = cause == RateCause::SPEED_RECORD ? SerialEncodings::SpeedIndexAfterRecord(bitsPerSecond)
                                                        : SerialEncodings::SpeedIndexOf(static_cast<int>(bitsPerSecond));
    if (cause == RateCause::SPEED_RECORD && index < 0)
        return;
    Show([this, index] { panel.SetComboSel(IDC_SPEED, index); });
}

void PanelEngineView::ParitySet(int parityCode)
{
    Show([this, parityCode] { panel.SetComboSel(IDC_PARITY, SerialEncodings::ParityIndexOf(parityCode)); });
}

void PanelEngineView::StopBitsSet(int stopBitsCode)
{
    Show([this, stopBitsCode] { panel.SetComboSel(IDC_STOP_BITS, SerialEncodings::StopBitsIndexOf(stopBitsCode)); });
}

void PanelEngineView::Failure(FailureKind, const std::string& text)
{
    // Listen's own failures (the COM port) are boxes the user answers before the panel goes on.
    if (listening) {
        held.push_back([text] { AfxMessageBox(text, MB_OK); });
        return;
    }
    laterErrors.push_back(text);
    ::PostMessageA(panel.m_hWnd, WM_SHOW_ERROR, 0, 0);
}

void PanelEngineView::OnShowError()
{
    if (laterErrors.empty())
        return;
    const std::string text = laterErrors.front();
    laterErrors.pop_front();
    // Worded and shown like the file errors the framework reports.
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}
