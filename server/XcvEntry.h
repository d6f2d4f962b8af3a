// The spooler's entry point for transceive commands (XcvDataW on a channel
// opened on ",XcvMonitor <monitor>" or ",XcvPort <port>").
#pragma once

#include <windows.h>

namespace entry {

// Runs one command of the table in XcvCommands.h and answers its status.
// Checked first, in this order: a null handle (ERROR_INVALID_HANDLE), a
// handle without administrator access (ERROR_ACCESS_DENIED), missing
// pointers (ERROR_INVALID_PARAMETER), an unknown name (ERROR_INVALID_DATA);
// none of these logs anything. A failing command logs its error, makes its
// code the thread's last error and the status.
DWORD WINAPI xcvDataPort(HANDLE xcv, LPCWSTR command, PBYTE input, DWORD inputSize, PBYTE output, DWORD outputSize,
                         PDWORD outputNeeded);

}  // namespace entry
