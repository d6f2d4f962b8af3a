// The builders of the server's error messages: each composes a headline,
// detail lines, the error code and the system's text from the string table
// of the current resource library, and throws a RuntimeError.
#pragma once

#include <windows.h>

#include "RuntimeError.h"

#include <string>

[[noreturn]] void throwCallFailed(const std::wstring& call, DWORD code);
[[noreturn]] void throwCallFailedFor(const std::wstring& call, const std::wstring& objectName, DWORD code);
[[noreturn]] void throwRegistryError(const std::wstring& call, const std::wstring& keyName, DWORD code);
[[noreturn]] void throwCommunicationError(const std::wstring& call, const std::wstring& host, const std::wstring& port,
                                          DWORD code);
[[noreturn]] void throwPortListError(DWORD level, DWORD code);
[[noreturn]] void throwServerClosed();
[[noreturn]] void throwProtocolError();

// Reported, not thrown: the prompt program's answer, or one value of it,
// that the monitor does not use.
RuntimeError ignoredPromptAnswer();
RuntimeError ignoredPromptValue(const std::wstring& valueName);
