// The add, configure and delete actions of the monitor UI and the two flows
// they share. Each action opens its own channel and closes it on every path.
// Their message boxes belong to the window the spooler passed, or to the
// dialog shown over it. An action's own failure is shown, logged as the UI's
// system-error event and
// becomes the last error with a FALSE result; a failure inside a flow is
// shown only, sets the last error and makes the flow report failure.
#pragma once

#include "PortDialogs.h"
#include "XcvClient.h"

#include <windows.h>

#include <string>

namespace actions {

// Asks for a new port's name, adds it and configures it; a port whose
// configuration is not completed is deleted again (FALSE, ERROR_CANCELLED),
// or, when the delete is refused, FALSE with the refusal's code.
// A cancelled name dialog is FALSE with ERROR_CANCELLED and nothing else.
BOOL addPort(PortDialogs& dialogs, const wchar_t* serverName, HWND owner, const std::wstring& monitorName);
// Runs the configure flow on the port: TRUE when it was configured or the
// dialog cancelled, FALSE when the flow or the channel failed.
BOOL configurePort(PortDialogs& dialogs, const wchar_t* serverName, HWND owner, const std::wstring& portName);
// Deletes the port: the delete flow's outcome.
BOOL deletePort(const wchar_t* serverName, HWND owner, const std::wstring& portName);

enum class Configured { Yes, Cancelled, Failed };

// Reads the port's settings, shows the configure dialog and, on OK, writes
// them back as one change (all of them, or none).
Configured configurePortFlow(PortDialogs& dialogs, XcvChannel& channel, HWND owner, const std::wstring& portName);
// Sends "DeletePort": whether the port was deleted.
bool deletePortFlow(XcvChannel& channel, const std::wstring& portName);

}  // namespace actions
