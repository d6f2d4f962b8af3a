// The prompt program's command line: its own name, then the port name.
#pragma once

#include <string>

// The port name in a whole command line. The program name ends at the first
// character with a code of 32 or below that is not inside double quotes;
// the characters with codes 1 to 32 after it are skipped; the rest, verbatim
// (quotes, inner and trailing blanks included), is the port name. The
// monitor starts the program as its path, one blank and the port name, so a
// port name with blanks arrives whole.
std::wstring portNameFromCommandLine(const std::wstring& commandLine);
