// Starts the prompt program on the console user's desktop and waits for it.
#pragma once

#include <string>

constexpr const wchar_t* kPromptProgramPath = L"C:\\Windows\\System32\\QRXPromptApp.exe";

// True when the program ran and did not answer "cancelled" (exit code 2).
// Nothing here fails the job: without a console user, a token, an
// environment or the program, there is simply no prompt. The calling
// thread's identity is the same afterwards as before.
bool launchPromptApplication(const std::wstring& programPath, const std::wstring& portName);
