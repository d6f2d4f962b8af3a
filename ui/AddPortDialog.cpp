#include "AddPortDialog.h"

#include "PortChecks.h"
#include "ResourceIds.h"

AddPortDialog::AddPortDialog(HWND owner, XcvChannel& channel) : Dialog(IDD_ADD_PORT, owner), channel_(channel) {
    bindText(IDC_ADD_PORT_NAME, portName_);
}

void AddPortDialog::onOk() {
    readControlsIntoFields();
    checkNewPortName(channel_, portName_);
    end(IDOK);
}
