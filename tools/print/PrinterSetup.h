// A printer of the spooler on a given port, made with Wine's PostScript
// driver and data type RAW when it does not exist yet.
#pragma once

#include <windows.h>

#include <string>

// An open handle of the printer, or null with the last error.
HANDLE openOrAddPrinter(const std::wstring& name, const std::wstring& port);
