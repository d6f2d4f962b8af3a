#pragma once

#include "LpdClient.h"

#include <string>

// The print server's list of printers, as it words it: three lines per
// printer (name, location, description). Each call is one exchange on a
// connection of its own.
std::wstring queryPrinterList(const std::wstring& host, const std::wstring& port, LpdLimits limits = {});
