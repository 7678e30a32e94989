// The panel as the editor of the service's settings: the administrator's copy that saves them to the machine's key and has the service apply them.
#pragma once
#include <string>

class CControlPanelDlg;

// Window thread only. The panel's fields are unlocked and show the machine's settings; nothing
// listens, no tray icon shows. "&Koniec" checks the fields as Listen would, warns that the
// connected client will be dropped, saves and signals the service; Escape drops the changes.
class ServiceSettingsEditor {
public:
    static constexpr const char* TITLE = "Ustawienia usługi Vextor";

    explicit ServiceSettingsEditor(CControlPanelDlg& panel) : owner(panel) {}

    void Attach() const;
    // True when the panel may close: saved and signalled, or a box told the user what failed.
    bool Save() const;

private:
    CControlPanelDlg& owner;
};
