// The monitor's standing with the spooler: registering it, removing the
// registration, saving it for a rollback and restoring it, and the printers
// that keep it in use. Used by the packages' setup actions and by
// qrx-install. Failures throw RuntimeError.
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

// The monitor's registry key with its ports and all their settings, as
// RegistryTree text; empty when the monitor is not registered.
std::wstring savedState();

// Registers the monitor again (when needed) and writes back every key and
// value of a savedState(); an empty one changes nothing.
void restore(const std::wstring& saved);

// "printer (port)" for every local printer that prints to one of the
// monitor's ports; empty when the monitor is not registered.
std::vector<std::wstring> printersOnItsPorts();

}  // namespace monitorRegistration
