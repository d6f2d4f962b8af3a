// The error of a failed system call in the setup actions and qrx-install.
#pragma once

#include <windows.h>

#include <string>

// Throws RuntimeError "<what> failed (<call>, error <code>): <the system's
// text>", followed by the advice when there is one.
[[noreturn]] void throwFailed(const std::wstring& what, const wchar_t* call, DWORD code,
                              const std::wstring& advice = {});
