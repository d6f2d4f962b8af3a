// The commands of qrxport. Each speaks the UI library's transceive commands
// through the spooler, makes the dialogs' checks before the first command
// that changes anything, and prints what it found. Refusals of the input are
// RuntimeWarnings, failures RuntimeErrors, both worded by the resource
// library and the system.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// The program once its resource library is loaded: reads the command line,
// runs it, and prints its results to out and every refusal, failure and
// usage error to err. The exit status: 0 done, 1 refused or failed (a test
// whose printer the server does not offer included), 2 a command line that
// cannot be read.
int runCommandLine(const std::vector<std::wstring>& args, std::wostream& out, std::wostream& err);
