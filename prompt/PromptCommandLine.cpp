#include "PromptCommandLine.h"

std::wstring portNameFromCommandLine(const std::wstring& commandLine) {
    size_t at = 0;
    for (bool quoted = false; at < commandLine.size(); ++at) {
        wchar_t c = commandLine[at];
        if (c == L'"')
            quoted = !quoted;
        else if (c <= 32 && !quoted)
            break;
    }
    // The one blank the monitor puts after the program's path; blanks after
    // it belong to the port name.
    if (at < commandLine.size()) ++at;
    return commandLine.substr(at);
}
