// The monitor's registry functions over the ordinary registry, for a spooler
// that hands over registry functions it does not implement (Wine's answer
// ERROR_CALL_NOT_IMPLEMENTED to every call). Handles are plain HKEYs.
#pragma once

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

const MONITORREG& ordinaryRegistryFunctions();

// Where a spooler keeps the registry root of this monitor, below HKEY_LOCAL_MACHINE.
constexpr const wchar_t* kMonitorRootPath = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Prentova Port Monitor";

// True when the spooler's registry functions are stubs.
bool spoolerRegistryIsMissing(const MONITORINIT& init);
