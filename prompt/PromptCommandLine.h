// The prompt program's command line: its own name, then the port name.
#pragma once

#include <string>

// The port name in a whole command line. The program name ends at the first
// character with a code of 32 or below that is not inside double quotes; that
// one character is skipped and the rest, verbatim (quotes and leading, inner
// and trailing blanks included), is the port name. The monitor starts the
// program as its path, one blank and the port name, so any port name arrives
// whole.
std::wstring portNameFromCommandLine(const std::wstring& commandLine);
