#include "AddPortDialog.h"

#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "RuntimeError.h"
#include "SystemErrorText.h"
#include "XcvClient.h"

AddPortDialog::AddPortDialog(HWND owner, XcvChannel& channel) : Dialog(IDD_ADD_PORT, owner), channel_(channel) {
    bindText(IDC_ADD_PORT_NAME, portName_);
}

namespace {

// Why the spooler refused the name: the monitor's string for the status
// ("Port %1 already exists."), or the system's words for any other failure,
// so that the administrator is never shown an empty warning.
std::wstring refusalText(DWORD status, const std::wstring& portName) {
    if (status >= 3500 && status <= 3599) return fillTemplate(loadResourceString(status), portName);
    return systemErrorText(status);
}

}  // namespace

void AddPortDialog::onOk() {
    readControlsIntoFields();
    if (portName_.empty()) throw RuntimeWarning(loadResourceString(IDS_ENTER_PORT_NAME));
    // Asking leaves the caller's last error as it was.
    DWORD lastError = GetLastError();
    DWORD status = channel_.request(L"PortExists", portName_, false);
    SetLastError(lastError);
    if (status != ERROR_SUCCESS) throw RuntimeWarning(refusalText(status, portName_));
    end(IDOK);
}
