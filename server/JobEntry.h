// The spooler's job functions of the monitor: a document's start, its data
// and its end on a port.
#pragma once

#include <windows.h>

namespace entry {

BOOL WINAPI startDocPort(HANDLE port, LPWSTR printerName, DWORD jobId, DWORD level, LPBYTE documentInfo);
BOOL WINAPI writePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written);
BOOL WINAPI endDocPort(HANDLE port);

}  // namespace entry
