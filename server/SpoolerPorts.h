// The ports the local spooler knows, of every monitor, as the spooler
// itself lists them.
#pragma once

#include <string>

// Whether a port of that name exists, compared as the system compares names
// (locale-aware, letter case counting). A listing the spooler refuses raises
// the call-failed error with its code.
bool spoolerHasPort(const std::wstring& portName);
