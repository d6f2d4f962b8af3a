#include "PromptLauncher.h"

#include "PromptAnswers.h"
#include "Sessions.h"

#include <userenv.h>

#include <algorithm>
#include <vector>

namespace {

constexpr DWORD kPromptCancelled = 2;
// How often the pipe is emptied while the program runs, so that a program
// writing more than the pipe holds never waits for the monitor.
constexpr DWORD kPipePollMilliseconds = 20;
constexpr DWORD kPipeBufferBytes = 64 * 1024;
// How often, while the program runs, its session is asked whether it is
// still active: a disconnect ends the prompt within this time.
constexpr ULONGLONG kSessionCheckMilliseconds = 250;
// How long a program that was ended is given to go.
constexpr DWORD kEndedProgramWaitMilliseconds = 5000;

class EnvironmentBlock {
public:
    explicit EnvironmentBlock(HANDLE token) {
        if (!CreateEnvironmentBlock(&block_, token, FALSE)) block_ = nullptr;
    }
    ~EnvironmentBlock() {
        if (block_) DestroyEnvironmentBlock(block_);
    }
    EnvironmentBlock(const EnvironmentBlock&) = delete;
    EnvironmentBlock& operator=(const EnvironmentBlock&) = delete;
    void* get() const { return block_; }

private:
    void* block_ = nullptr;
};

// The pipe the program's standard output is: only its write end can ever
// be inherited, and only the program is given it.
class AnswerPipe {
public:
    AnswerPipe() {
        if (!CreatePipe(read_.out(), write_.out(), nullptr, kPipeBufferBytes)) {
            *read_.out() = nullptr;
            *write_.out() = nullptr;
            return;
        }
        if (!SetHandleInformation(write_.get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT)) write_.close();
    }
    bool valid() const { return read_ && write_; }
    HANDLE writeEnd() const { return write_.get(); }
    // The program holds its own copy once started; the monitor's goes.
    void closeWriteEnd() { write_.close(); }

    // Reads what the pipe holds now, without waiting.
    void drainInto(PromptRun& run) const {
        std::vector<char> chunk(4096);
        for (;;) {
            DWORD available = 0;
            if (!PeekNamedPipe(read_.get(), nullptr, 0, nullptr, &available, nullptr) || available == 0) return;
            DWORD got = 0;
            if (!ReadFile(read_.get(), chunk.data(), std::min<DWORD>(available, DWORD(chunk.size())), &got,
                          nullptr) ||
                got == 0)
                return;
            const size_t room = kLongestPromptAnswerBytes - run.answer.size();
            run.answer.append(chunk.data(), std::min<size_t>(got, room));
            if (got > room) run.cutShort = true;
        }
    }

private:
    OwnedHandle read_;
    OwnedHandle write_;
};

// The thread's attribute list for a start that inherits one handle only.
class InheritedHandleList {
public:
    explicit InheritedHandleList(HANDLE handle) : handle_(handle) {
        SIZE_T size = 0;
        InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
        storage_.resize(size);
        auto* list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data());
        if (!InitializeProcThreadAttributeList(list, 1, 0, &size)) return;
        initialized_ = true;
        if (UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, &handle_, sizeof handle_,
                                      nullptr, nullptr))
            list_ = list;
    }
    ~InheritedHandleList() {
        if (initialized_) DeleteProcThreadAttributeList(reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage_.data()));
    }
    InheritedHandleList(const InheritedHandleList&) = delete;
    InheritedHandleList& operator=(const InheritedHandleList&) = delete;
    LPPROC_THREAD_ATTRIBUTE_LIST get() const { return list_; }

private:
    HANDLE handle_;
    std::vector<BYTE> storage_;
    bool initialized_ = false;
    LPPROC_THREAD_ATTRIBUTE_LIST list_ = nullptr;
};

// A primary token of the session's user for the program, impersonated by
// the calling thread; empty when it cannot be had.
OwnedHandle impersonateAsPrimary(HANDLE sessionToken) {
    constexpr DWORD kTokenAccess =
        TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE | TOKEN_QUERY | READ_CONTROL;
    OwnedHandle primary;
    if (!DuplicateTokenEx(sessionToken, kTokenAccess, nullptr, SecurityImpersonation, TokenPrimary, primary.out())) {
        *primary.out() = nullptr;
        return OwnedHandle();
    }
    if (!ImpersonateLoggedOnUser(primary.get())) return OwnedHandle();
    return primary;
}

// Waits for the program while emptying the pipe, and ends it when its
// session stops being active: nobody could answer it any more, and the
// port's jobs would wait behind it.
void waitWhileSessionActive(const SessionCalls& sessions, HANDLE process, const AnswerPipe& pipe, PromptRun& run) {
    ULONGLONG lastCheck = GetTickCount64();
    while (WaitForSingleObject(process, kPipePollMilliseconds) == WAIT_TIMEOUT) {
        pipe.drainInto(run);
        if (GetTickCount64() - lastCheck < kSessionCheckMilliseconds) continue;
        lastCheck = GetTickCount64();
        if (sessions.isActive(run.session)) continue;
        TerminateProcess(process, kPromptCancelled);
        WaitForSingleObject(process, kEndedProgramWaitMilliseconds);
        run.outcome = PromptOutcome::SessionEnded;
        run.answer.clear();
        run.cutShort = false;
        return;
    }
    pipe.drainInto(run);
    if (!GetExitCodeProcess(process, &run.exitCode)) run.exitCode = 0;
    run.outcome = PromptOutcome::Answered;
}

// Starts the program as the user of the primary token; the outcome and the
// error say whether it started.
void startAndWait(const SessionCalls& sessions, HANDLE token, const std::wstring& programPath,
                  const std::wstring& portName, PromptRun& run) {
    EnvironmentBlock environment(token);
    if (!environment.get()) return;
    AnswerPipe pipe;
    if (!pipe.valid()) return;
    InheritedHandleList inherited(pipe.writeEnd());
    if (!inherited.get()) return;

    std::wstring commandLine = programPath + L" " + portName;
    wchar_t desktop[] = L"winsta0\\default";
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.StartupInfo.wShowWindow = SW_SHOWNORMAL;
    startup.StartupInfo.lpDesktop = desktop;
    startup.StartupInfo.hStdOutput = pipe.writeEnd();
    startup.lpAttributeList = inherited.get();
    PROCESS_INFORMATION process{};
    if (!CreateProcessAsUserW(token, programPath.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                              CREATE_UNICODE_ENVIRONMENT | NORMAL_PRIORITY_CLASS | DETACHED_PROCESS |
                                  EXTENDED_STARTUPINFO_PRESENT,
                              environment.get(), nullptr, &startup.StartupInfo, &process)) {
        run.outcome = PromptOutcome::NotStarted;
        run.startError = GetLastError();
        return;
    }
    OwnedHandle processHandle(process.hProcess);
    OwnedHandle threadHandle(process.hThread);
    pipe.closeWriteEnd();
    waitWhileSessionActive(sessions, process.hProcess, pipe, run);
}

}  // namespace

std::wstring promptProgramPath() {
    wchar_t directory[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(directory, length) + L"\\QRXPromptApp.exe";
}

bool PromptRun::started() const {
    return outcome == PromptOutcome::Answered || outcome == PromptOutcome::SessionEnded;
}

bool PromptRun::confirmed() const { return outcome == PromptOutcome::Answered && exitCode != kPromptCancelled; }

PromptRun launchPromptApplication(const std::wstring& programPath, const std::wstring& portName) {
    PromptRun run;
    const SessionCalls& sessions = sessionCalls();
    ThreadIdentity identity(sessions);
    // The client is read while the thread still impersonates it.
    const std::optional<PromptTarget> target = promptTarget(sessions, identity);
    if (!target || !identity.actAsSelf()) return run;
    run.session = target->session;
    OwnedHandle sessionToken = sessions.userToken(target->session);
    if (!sessionToken) return run;
    // The session's number may have passed to someone else since the job
    // was printed: a stranger must not see, nor answer for, this job.
    if (target->client && tokenUser(sessionToken.get()) != *target->client) {
        run.outcome = PromptOutcome::AnotherUser;
        return run;
    }
    if (!sessions.isActive(target->session)) {
        run.outcome = PromptOutcome::SessionInactive;
        return run;
    }
    OwnedHandle token = impersonateAsPrimary(sessionToken.get());
    if (!token) return run;
    startAndWait(sessions, token.get(), programPath, portName, run);
    return run;
}
