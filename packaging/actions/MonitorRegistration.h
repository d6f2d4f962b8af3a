// The monitor's standing with the spooler: registering it, removing the
// registration, and the printers that keep it in use. Used by the packages'
// setup actions and by qrx-install. Failures throw RuntimeError.
#pragma once

#include <string>
#include <vector>

constexpr const wchar_t* kMonitorName = L"Prentova Port Monitor";
constexpr const wchar_t* kMonitorDll = L"QRXServerDll.dll";

namespace monitorRegistration {

// AddMonitorW; the DLL must be in the system directory already. False when
// the monitor was registered before (nothing is changed then).
bool add();

// DeleteMonitorW, which also drops the monitor's registry key with its ports.
// False when the monitor was not registered.
bool remove();

// "printer (port)" for every local printer that prints to one of the
// monitor's ports; empty when the monitor is not registered.
std::vector<std::wstring> printersOnItsPorts();

}  // namespace monitorRegistration
