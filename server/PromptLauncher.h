// Starts the prompt program for the user who printed and waits for it,
// reading the answers it hands back through its standard output.
#pragma once

#include <windows.h>

#include <string>

constexpr const wchar_t* kPromptProgramPath = L"C:\\Windows\\System32\\QRXPromptApp.exe";

struct PromptRun {
    bool started = false;
    DWORD exitCode = 0;
    // What the program wrote to its standard output, up to the longest
    // answer; anything beyond was read and dropped, and cutShort is set.
    std::string answer;
    bool cutShort = false;

    // The program ran and did not answer "cancelled" (exit code 2).
    bool confirmed() const;
};

// Nothing here fails the job: when nobody is to be asked (a client in
// session 0, a session without a user, no console) or the token, the
// environment or the program cannot be had, the program is simply not
// started. The calling thread's identity is the same afterwards as before.
PromptRun launchPromptApplication(const std::wstring& programPath, const std::wstring& portName);
