// The ports a spooler knows, of every monitor, as the spooler itself lists
// them.
#pragma once

#include <string>
#include <vector>

struct SpoolerPort {
    std::wstring name;
    std::wstring monitor;  // the name of the monitor that owns the port
};

// Every port the spooler of a server ("\\NAME"; null or empty: this
// machine) lists. A listing the spooler refuses raises the call-failed error
// with its code.
std::vector<SpoolerPort> spoolerPorts(const wchar_t* serverName);

// Whether two names name one port. The spooler and the registry take "QRXA:"
// and "qrxa:" for one port, so names are compared ordinally without regard
// to letter case.
bool samePortName(const wchar_t* listed, const std::wstring& name);

// Whether a port of that name exists, of any monitor, by samePortName. A
// listing the spooler refuses raises the call-failed error with its code.
bool spoolerHasPort(const std::wstring& portName);
