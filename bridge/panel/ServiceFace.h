// The panel while the service holds the line: the service's live state in the panel's controls, and its start and stop.
#pragma once
#include "../../framework/Afx.h"

#include <memory>
#include <string>

#include "ElevatedVerb.h"
#include "ServiceStatusLink.h"

class CControlPanelDlg;

// Window thread only. The link and the elevated copy run on threads of their own and post here.
class ServiceFace {
public:
    explicit ServiceFace(CControlPanelDlg& panel) : owner(panel) {}
    ~ServiceFace();
    ServiceFace(const ServiceFace&) = delete;
    ServiceFace& operator=(const ServiceFace&) = delete;

    // The panel opened in service mode: the button becomes the service's, the link starts.
    void Attach();
    // The Listen button: the service is started or stopped by an administrator's copy.
    void OnListen();
    // The system menu's "Zmień ustawienia usługi ...": an administrator's copy of the panel edits them.
    void OnEditSettings();
    // WM_SERVICE_LINK and WM_ELEVATED_VERB_DONE.
    void OnLink();
    void OnVerbDone(DWORD result, LPARAM outcome);

private:
    void ShowButton();
    void AddMenuCommand() const;
    // The copy of the service's program with this verb; false when none could be started.
    bool RunVerb(const wchar_t* verbWord);
    void ShowShield(HWND button);
    std::string StatusLine(const ServiceStatusLink::Snapshot& snapshot) const;

    CControlPanelDlg& owner;
    std::unique_ptr<ServiceStatusLink> link;
    std::unique_ptr<ElevatedVerb> verb;
    HWND shield = nullptr;        // the shield's icon beside the button; a child of the panel
    DWORD serviceState = 0;       // the last state the link told
    const wchar_t* running = nullptr;  // the verb of the copy under way
};
