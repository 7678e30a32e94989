// The panel as the editor of the service's settings: the administrator's copy that saves them to the machine's key and has the service apply them.
#include "ServiceSettingsEditor.h"

#include "../core/ListenCheck.h"
#include "../engine/LocalAddresses.h"
#include "../service/MachineSettingsKey.h"
#include "../service/ServiceSettingsSignal.h"
#include "CControlPanelDlg.h"
#include "resource.h"

void ServiceSettingsEditor::Attach() const
{
    ::SetWindowTextA(owner.m_hWnd, TITLE);
    // Nothing listens here: the service does, once it has the settings.
    owner.EnableDlgItem(IDC_LISTEN, false);
    owner.SetDlgItemText(IDC_STATUS, "");
}

bool ServiceSettingsEditor::Save() const
{
    const BridgeOptions options = owner.Options();
    if (auto failure = ListenCheck::Check(options, LocalAddresses::Ipv4())) {
        owner.FailAtField(CControlPanelDlg::FieldOf(failure->field), failure->message);
        return false;
    }
    if (AfxMessageBox("Usługa Vextor zastosuje nowe ustawienia od razu: podłączony klient zostanie rozłączony.\n"
                      "Zapisać ustawienia?",
                      MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;
    owner.CopyPanelToSettings();
    if (!MachineSettingsKey::Store().Save(owner.settings)) {
        AfxMessageBox("Nie można zapisać ustawień usługi: brak prawa zapisu do klucza ustawień komputera.",
                      MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    const DWORD signalled = ServiceSettingsSignal::Send();
    if (signalled == ERROR_SERVICE_NOT_ACTIVE)
        AfxMessageBox("Ustawienia zapisano. Usługa Vextor nie działa: zastosuje je, gdy zostanie uruchomiona.",
                      MB_OK | MB_ICONINFORMATION);
    else if (signalled != NO_ERROR)
        AfxMessageBox("Ustawienia zapisano, ale usługa Vextor ich nie przyjęła (błąd systemu " +
                          std::to_string(signalled) + "); zastosuje je po ponownym uruchomieniu.",
                      MB_OK | MB_ICONEXCLAMATION);
    return true;
}
