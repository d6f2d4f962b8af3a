// The checks the port dialogs make before anything is sent, for every tool
// that adds or configures ports. Each refusal is a RuntimeWarning worded by
// the string table of the current resource library.
#pragma once

#include <string>

class XcvChannel;

// A new port's name: not empty (3531), and not known to the spooler
// ("PortExists": 3537 with the name, any other refusal in the system's
// words, so that no warning is ever empty). The caller's last error is kept.
void checkNewPortName(XcvChannel& channel, const std::wstring& portName);
// Not empty (3534).
void checkHostName(const std::wstring& hostName);
// Not empty (3535), decimal digits only (3538), and a TCP port: 1 to 65535
// (3557).
void checkPortNumber(const std::wstring& portNumber);
// Not empty (3536).
void checkPrinterName(const std::wstring& printerName);
