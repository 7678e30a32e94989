// The panel's face of the engine: what the engine reports, shown in the panel's controls, tray tip and boxes.
#pragma once
#include <deque>
#include <functional>
#include <string>

#include "../../framework/Afx.h"
#include "../engine/IEngineEvents.h"

class CControlPanelDlg;

// Posted by the panel to itself: a failure waits to be shown in a box.
constexpr UINT WM_SHOW_ERROR = WM_APP + 5;

// Window thread only. The engine never waits for a box: failures reported during Listen are
// shown once Listen returns, in their order among the locks and the status they came with, and
// anything the engine reports meanwhile waits behind them; failures at any other time are
// shown one by one from messages the panel posts to itself.
class PanelEngineView : public IEngineEvents {
public:
    explicit PanelEngineView(CControlPanelDlg& panel);

    // Around the engine's Start: what it reports is kept, then shown in order (boxes included).
    void BeginListen();
    void EndListen();
    // The panel's WM_SHOW_ERROR: the next failure that waits.
    void OnShowError();

    void StageReached(ListenStage stage) override;
    void StatusChanged(const std::string& text) override;
    void LineLost(const std::string& text) override;
    void LineBack() override;
    void RateSet(std::uint32_t bitsPerSecond, RateCause cause) override;
    void ParitySet(int parityCode) override;
    void StopBitsSet(int stopBitsCode) override;
    // Every kind of failure is a box alike.
    void Failure(FailureKind kind, const std::string& text) override;

private:
    // Shown now, or after the Listen's boxes while they are being shown.
    void Show(std::function<void()> step);
    void ShowTrayTip(const std::string& text) const;

    CControlPanelDlg& panel;
    bool listening = false;         // inside the engine's Start
    bool playing = false;           // showing what Start reported
    std::deque<std::function<void()>> held;  // what waits for the Listen's boxes, in order
    std::deque<std::string> laterErrors;     // shown one by one from posted messages
};
