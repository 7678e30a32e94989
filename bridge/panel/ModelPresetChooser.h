// The panel's model list and its Manual check box: serial parameters set by hand or by a model.
#pragma once
#include "../../framework/CDialog.h"

// Window thread only. The check box and the ports a preset sets are the panel's exchanged fields.
class ModelPresetChooser {
public:
    ModelPresetChooser(CDialog& panel, int& manualParameters, int& listenPort, int& configPort);

    void FillModels() const;
    // By hand: the parameter lists are open and the model list closed; by model the other way.
    void ApplyManualRule() const;
    void OnManualClicked();
    // A model's preset is written into the lists and the port fields.
    void OnModelChosen();

private:
    void EnableParameters(bool enable) const;

    CDialog& panel;
    int& manualParameters;
    int& listenPort;
    int& configPort;
};
