// The panel's model list and its Manual check box: serial parameters set by hand or by a model.
#include "ModelPresetChooser.h"

#include "../../common/IntegerText.h"
#include "../core/ModelPreset.h"
#include "resource.h"

ModelPresetChooser::ModelPresetChooser(CDialog& panelDialog, int& manual, int& listen, int& config)
    : panel(panelDialog), manualParameters(manual), listenPort(listen), configPort(config)
{
}

void ModelPresetChooser::FillModels() const
{
    for (int i = 0; i < ModelPreset::MODEL_COUNT; ++i)
        panel.SendDlgItemMessage(IDC_MODEL, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ModelPreset::ModelName(i)));
}

void ModelPresetChooser::EnableParameters(bool enable) const
{
    for (int id : {IDC_SPEED, IDC_PARITY, IDC_STOP_BITS})
        panel.EnableDlgItem(id, enable);
}

void ModelPresetChooser::ApplyManualRule() const
{
    EnableParameters(manualParameters != 0);
    panel.EnableDlgItem(IDC_MODEL, manualParameters == 0);
}

void ModelPresetChooser::OnManualClicked()
{
    panel.UpdateData(true);
    EnableParameters(manualParameters == 1);
    panel.EnableDlgItem(IDC_MODEL, manualParameters != 1);
}

void ModelPresetChooser::OnModelChosen()
{
    if (auto preset = ModelPreset::ForModel(panel.GetComboSel(IDC_MODEL))) {
        panel.SetComboSel(IDC_SPEED, preset->speedIndex);
        panel.SetComboSel(IDC_STOP_BITS, preset->stopBitsIndex);
        panel.SetComboSel(IDC_PARITY, preset->parityIndex);
        listenPort = ModelPreset::PRESET_LISTEN_PORT;
        panel.SetDlgItemText(IDC_LISTEN_PORT, IntegerText::Format(listenPort));
        configPort = ModelPreset::PRESET_CONFIG_PORT;
        panel.SetDlgItemText(IDC_CONFIG_PORT, IntegerText::Format(configPort));
    }
    panel.UpdateData(true);
}
