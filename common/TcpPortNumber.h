// The rule for a print server's LPD port as the ports store it: decimal
// text naming a TCP port. A larger number would not be refused by the
// system's name resolution but wrapped into another port.
#pragma once

#include <string>

// Decimal digits only (no sign, no blanks), at least one.
bool isDecimalNumber(const std::wstring& text);
// Decimal digits whose value lies from 1 to 65535; leading zeros allowed.
bool isTcpPortNumber(const std::wstring& text);
