#include "PortChecks.h"

#include "ResourceIds.h"
#include "ResourceStrings.h"
#include "RuntimeError.h"
#include "TcpPortNumber.h"
#include "XcvClient.h"

void checkNewPortName(XcvChannel& channel, const std::wstring& portName) {
    if (portName.empty()) throw RuntimeWarning(loadResourceString(IDS_ENTER_PORT_NAME));
    DWORD lastError = GetLastError();
    DWORD status = channel.request(L"PortExists", portName, false);
    SetLastError(lastError);
    if (status == ERROR_SUCCESS) return;
    // Worded by the rule of every failed command ("Port %1 already exists."
    // for the monitor's refusal, the system's text for anything else), with
    // the name put in.
    throw RuntimeWarning(fillTemplate(commandFailure(status, 0).message(), portName));
}

void checkHostName(const std::wstring& hostName) {
    if (hostName.empty()) throw RuntimeWarning(loadResourceString(IDS_ENTER_HOST_NAME));
}

void checkPortNumber(const std::wstring& portNumber) {
    if (portNumber.empty()) throw RuntimeWarning(loadResourceString(IDS_ENTER_HOST_PORT));
    if (!isDecimalNumber(portNumber)) throw RuntimeWarning(loadResourceString(IDS_PORT_NUMBER_NOT_INTEGER));
    if (!isTcpPortNumber(portNumber)) throw RuntimeWarning(loadResourceString(IDS_PORT_NUMBER_OUT_OF_RANGE));
}

void checkPrinterName(const std::wstring& printerName) {
    if (printerName.empty()) throw RuntimeWarning(loadResourceString(IDS_SELECT_PRINTER));
}
