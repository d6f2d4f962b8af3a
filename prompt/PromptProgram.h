// The prompt program's run: started by the monitor for the user who printed
// when a job is printed to a port that asks for its options, it shows the
// options dialog filled from the port's key and hands the answers to the
// monitor (or, started by hand, stores them in the key itself).
#pragma once

#include <windows.h>

#include <string>

// Exit codes, as the monitor reads them: anything but 2 is a confirmation.
enum PromptExitCode : int {
    kPromptConfirmed = 0,  // OK; also a failed start-up without texts, or an error shown to the user
    kPromptFrameworkFailed = 1,
    kPromptCancelled = 2,  // Cancel, Escape, or a dialog that could not be shown
};

// The whole run, given the program's instance and its whole command line.
int runPromptProgram(HINSTANCE instance, const std::wstring& commandLine);
