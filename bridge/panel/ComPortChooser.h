// The panel's COM port chooser: COM1 and COM2 as radio buttons, any other port from a list.
#pragma once
#include "../../framework/CDialog.h"

// Window thread only. The choice lives in the panel's exchanged fields, at most one of them set:
// the chooser keeps them and their controls in step.
class ComPortChooser {
public:
    ComPortChooser(CDialog& panel, int& com1Selected, int& com2Selected, int& otherComPort);

    // Once the fields hold the stored choice: the list is sized and filled.
    void Attach() const;
    void OnCom1Clicked();
    void OnCom2Clicked();
    void OnOtherPortChosen();
    // The list of other ports read afresh.
    void Fill() const;

private:
    CDialog& panel;
    int& com1Selected;
    int& com2Selected;
    int& otherComPort;  // 3 to 255; 0: none
};
