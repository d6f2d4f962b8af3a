// Programs that a test starts, or that the code under test starts for it:
// every wait on them is bounded, and none outlives the test.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

namespace qrxtest {

class ChildProcess {
public:
    // Starts the program with that whole command line, with the given
    // handle (which must be inheritable) as its standard output, or none;
    // throws std::runtime_error when it cannot be started.
    ChildProcess(const std::wstring& program, const std::wstring& commandLine, HANDLE standardOutput = nullptr);
    // Ends the process if it still runs.
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    DWORD id() const { return process_.dwProcessId; }
    // The exit code once the process has ended; nullopt while it still runs
    // when the limit is up.
    std::optional<DWORD> waitForExit(std::chrono::milliseconds limit) const;

private:
    PROCESS_INFORMATION process_{};
};

// Ends the processes that this process started from a program of that file
// name (compared without regard to case) and that still run; answers how
// many there were.
size_t endChildProcesses(const std::wstring& fileName);

}  // namespace qrxtest
