// The monitor's standing with the spooler: registering it, removing the
// registration, saving it for a rollback and restoring it, and the printers
// that keep it in use. Used by the packages' setup actions and by
// qrx-install. Failures throw RuntimeError.
//
// A stopped spooler answers no call; it reads the monitors' registry keys
// when it starts. While the Print Spooler service does not run, removing,
// restoring and the printers on the ports therefore go to those keys
// directly; registering needs the spooler running.
#pragma once

#include <string>
#include <vector>

constexpr const wchar_t* kMonitorName = L"Prentova Port Monitor";
constexpr const wchar_t* kMonitorDll = L"QRXServerDll.dll";

namespace monitorRegistration {

// AddMonitorW; the DLL must be in the system directory already. False when
// the monitor was registered before (nothing is changed then).
bool add();

// DeleteMonitorW, which also drops the monitor's registry key with its ports;
// with the spooler stopped, the key is deleted. False when the monitor was
// not registered.
bool remove();

// The monitor's registry key with its ports and all their settings, as
// RegistryTree text; empty when the monitor is not registered.
std::wstring savedState();

// Writes back every key and value of a savedState(), then registers the
// monitor again (when needed and the spooler runs): the spooler lists the
// ports of a monitor when it loads it. A failed registration leaves the keys
// written. An empty state changes nothing.
void restore(const std::wstring& saved);

// "printer (port)" for every local printer that prints to one of the
// monitor's ports; empty when the monitor is not registered. With the
// spooler stopped, both come from the registry: the port keys below the
// monitor's key, and each printer's comma-separated "Port" value below
// HKLM\SYSTEM\CurrentControlSet\Control\Print\Printers.
std::vector<std::wstring> printersOnItsPorts();

}  // namespace monitorRegistration
