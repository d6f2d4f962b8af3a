// Asks for the name of a new port and refuses a name that is empty or that
// the spooler already knows. It changes nothing itself.
#pragma once

#include "Dialog.h"

#include <string>

class XcvChannel;

class AddPortDialog : public Dialog {
public:
    AddPortDialog(HWND owner, XcvChannel& channel);

    // The name as last taken from the dialog; read after OK.
    std::wstring portName() const { return portName_; }

private:
    void onOk() override;

    std::wstring portName_;
    XcvChannel& channel_;
};
