// The panel's COM port chooser: COM1 and COM2 as radio buttons, any other port from a list.
#include "ComPortChooser.h"

#include "../core/ComPortList.h"
#include "../engine/SerialPortScan.h"
#include "resource.h"

namespace {
// The list of other ports opens wider than its box, for the devices' long names.
constexpr int COM_LIST_DROPPED_WIDTH = 180;  // dialog units
}

ComPortChooser::ComPortChooser(CDialog& panelDialog, int& com1, int& com2, int& other)
    : panel(panelDialog), com1Selected(com1), com2Selected(com2), otherComPort(other)
{
}

void ComPortChooser::Attach() const
{
    RECT dropped{0, 0, COM_LIST_DROPPED_WIDTH, 0};
    ::MapDialogRect(panel.m_hWnd, &dropped);
    panel.SendDlgItemMessage(IDC_COM_OTHER, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(dropped.right));
    Fill();
}

void ComPortChooser::OnCom1Clicked()
{
    panel.UpdateData(true);
    if (com1Selected == 1) {
        com2Selected = 0;
        otherComPort = 0;
        // Write the check states only: a bad port field must not be overwritten or re-reported.
        panel.SendDlgItemMessage(IDC_COM2, BM_SETCHECK, BST_UNCHECKED);
        panel.SetComboSel(IDC_COM_OTHER, -1);
    }
}

void ComPortChooser::OnCom2Clicked()
{
    panel.UpdateData(true);
    if (com2Selected == 1) {
        com1Selected = 0;
        otherComPort = 0;
        panel.SendDlgItemMessage(IDC_COM1, BM_SETCHECK, BST_UNCHECKED);
        panel.SetComboSel(IDC_COM_OTHER, -1);
    }
}

// A port from the list takes the place of the radio buttons' choice, as a third button would.
void ComPortChooser::OnOtherPortChosen()
{
    const int index = panel.GetComboSel(IDC_COM_OTHER);
    if (index < 0)
        return;
    otherComPort =
        static_cast<int>(panel.SendDlgItemMessage(IDC_COM_OTHER, CB_GETITEMDATA, static_cast<WPARAM>(index)));
    com1Selected = 0;
    com2Selected = 0;
    panel.SendDlgItemMessage(IDC_COM1, BM_SETCHECK, BST_UNCHECKED);
    panel.SendDlgItemMessage(IDC_COM2, BM_SETCHECK, BST_UNCHECKED);
}

// Read afresh whenever the list opens and whenever a device comes or goes: adapters are plugged
// in while the panel is open. The chosen port stays chosen, present or not.
void ComPortChooser::Fill() const
{
    panel.SendDlgItemMessage(IDC_COM_OTHER, CB_RESETCONTENT);
    for (const ComPortList::Entry& entry : ComPortList::Entries(SerialPortScan::Present(), otherComPort)) {
        const auto index =
            panel.SendDlgItemMessage(IDC_COM_OTHER, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.label.c_str()));
        if (index < 0)
            continue;
        panel.SendDlgItemMessage(IDC_COM_OTHER, CB_SETITEMDATA, static_cast<WPARAM>(index), entry.number);
        if (entry.number == otherComPort)
            panel.SetComboSel(IDC_COM_OTHER, static_cast<int>(index));
    }
}
