// The functions the spooler calls through the monitor's function table.
#pragma once

#include "MonitorHandle.h"

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor);

namespace entry {

BOOL WINAPI enumPorts(HANDLE monitor, LPWSTR serverName, DWORD level, LPBYTE ports, DWORD size, LPDWORD needed,
                      LPDWORD returned);
BOOL WINAPI openPort(HANDLE monitor, LPWSTR portName, PHANDLE port);
BOOL WINAPI readPort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD read);
BOOL WINAPI closePort(HANDLE port);
BOOL WINAPI xcvOpenPort(HANDLE monitor, LPCWSTR object, ACCESS_MASK grantedAccess, PHANDLE xcv);
BOOL WINAPI xcvClosePort(HANDLE xcv);
VOID WINAPI shutdown(HANDLE monitor);

// Size of the table the monitor offers: the size field and the slots up to
// and including the bidirectional-data one, which the platform header's
// structure extends with later slots that this monitor does not fill.
constexpr DWORD kMonitorTableSize =
    static_cast<DWORD>(offsetof(MONITOR2, pfnSendRecvBidiDataFromPort) + sizeof(void*));

}  // namespace entry
