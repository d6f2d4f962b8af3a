#include "PromptCommandLine.h"

namespace {

bool isBlankOrControl(wchar_t c) { return c >= 1 && c <= 32; }

}  // namespace

std::wstring portNameFromCommandLine(const std::wstring& commandLine) {
    size_t at = 0;
    for (bool quoted = false; at < commandLine.size(); ++at) {
        wchar_t c = commandLine[at];
        if (c == L'"')
            quoted = !quoted;
        else if (c <= 32 && !quoted)
            break;
    }
    while (at < commandLine.size() && isBlankOrControl(commandLine[at])) ++at;
    return commandLine.substr(at);
}
