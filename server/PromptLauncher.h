// Starts the prompt program for the user who printed and waits for it,
// reading the answers it hands back through its standard output.
#pragma once

#include <windows.h>

#include <string>

// The program in the system directory, wherever Windows is installed.
std::wstring promptProgramPath();

enum class PromptOutcome {
    NobodyToAsk,      // a client of another computer, nobody logged on, or an identity that cannot be put back
    AnotherUser,      // the session the job came from now belongs to someone else
    SessionInactive,  // the session is disconnected: nobody is at its screen
    NotStarted,       // the program could not be started (startError says why)
    Answered,         // the program ran and ended by itself
    SessionEnded,     // the session was disconnected or logged off while the program ran; it was ended
};

struct PromptRun {
    PromptOutcome outcome = PromptOutcome::NobodyToAsk;
    DWORD session = 0;
    DWORD startError = 0;
    DWORD exitCode = 0;
    // What the program wrote to its standard output, up to the longest
    // answer; anything beyond was read and dropped, and cutShort is set.
    std::string answer;
    bool cutShort = false;

    bool started() const;
    // The program ended by itself and did not answer "cancelled" (exit code 2).
    bool confirmed() const;
};

// Nothing here fails the job: when nobody is to be asked, or the token, the
// environment or the program cannot be had, the program is not started and
// the outcome says why. The session is asked only while it is active and its
// user is the one who printed; a person at their screen has all the time they
// need. The calling thread's identity is the same afterwards as before.
PromptRun launchPromptApplication(const std::wstring& programPath, const std::wstring& portName);
