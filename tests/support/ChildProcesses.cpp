#include "ChildProcesses.h"

#include <tlhelp32.h>

#include <stdexcept>
#include <vector>

namespace qrxtest {

namespace {

constexpr DWORD kEndWaitMs = 10000;

void endProcess(HANDLE process) {
    TerminateProcess(process, ERROR_TIMEOUT);
    WaitForSingleObject(process, kEndWaitMs);
}

}  // namespace

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& commandLine, HANDLE standardOutput) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // Without a handle given the program has no standard output, rather
    // than this program's (which may be a pipe).
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = standardOutput;
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, standardOutput != nullptr, 0, nullptr,
                        nullptr, &startup,
                        &process_))
        throw std::runtime_error("CreateProcessW failed with error " + std::to_string(GetLastError()));
}

ChildProcess::~ChildProcess() {
    if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) endProcess(process_.hProcess);
    CloseHandle(process_.hThread);
    CloseHandle(process_.hProcess);
}

std::optional<DWORD> ChildProcess::waitForExit(std::chrono::milliseconds limit) const {
    if (WaitForSingleObject(process_.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.hProcess, &code)) return std::nullopt;
    return code;
}

size_t endChildProcesses(const std::wstring& fileName) {
    size_t running = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return running;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ParentProcessID != GetCurrentProcessId() || _wcsicmp(entry.szExeFile, fileName.c_str()) != 0)
            continue;
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
            ++running;
            endProcess(process);
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
    return running;
}

}  // namespace qrxtest
