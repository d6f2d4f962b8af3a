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

// The pipe the program's standard output is: only its write end can be
// inherited, and only the program is given it.
class AnswerPipe {
public:
    AnswerPipe() {
        SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
        if (!CreatePipe(read_.out(), write_.out(), &inheritable, kPipeBufferBytes)) return;
        SetHandleInformation(read_.get(), HANDLE_FLAG_INHERIT, 0);
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

// A primary token of the user to ask, impersonated by the calling thread;
// empty when nobody is to be asked.
OwnedHandle impersonatePromptUser(ThreadIdentity& identity) {
    const SessionCalls& sessions = sessionCalls();
    // The client's session is read while the thread still impersonates it.
    const std::optional<DWORD> session = promptSession(sessions);
    if (!session) return OwnedHandle();
    identity.actAsSelf();
    OwnedHandle sessionToken = sessions.userToken(*session);
    if (!sessionToken) return OwnedHandle();
    constexpr DWORD kTokenAccess =
        TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE | TOKEN_QUERY | READ_CONTROL;
    OwnedHandle primary;
    if (!DuplicateTokenEx(sessionToken.get(), kTokenAccess, nullptr, SecurityImpersonation, TokenPrimary,
                          primary.out()))
        return OwnedHandle();
    if (!ImpersonateLoggedOnUser(primary.get())) return OwnedHandle();
    return primary;
}

}  // namespace

bool PromptRun::confirmed() const { return started && exitCode != kPromptCancelled; }

PromptRun launchPromptApplication(const std::wstring& programPath, const std::wstring& portName) {
    PromptRun run;
    ThreadIdentity identity;
    OwnedHandle token = impersonatePromptUser(identity);
    if (!token) return run;
    EnvironmentBlock environment(token.get());
    if (!environment.get()) return run;
    AnswerPipe pipe;
    if (!pipe.valid()) return run;
    InheritedHandleList inherited(pipe.writeEnd());
    if (!inherited.get()) return run;

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
    if (!CreateProcessAsUserW(token.get(), programPath.c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                              CREATE_UNICODE_ENVIRONMENT | NORMAL_PRIORITY_CLASS | DETACHED_PROCESS |
                                  EXTENDED_STARTUPINFO_PRESENT,
                              environment.get(), nullptr, &startup.StartupInfo, &process))
        return run;
    run.started = true;
    OwnedHandle processHandle(process.hProcess);
    OwnedHandle threadHandle(process.hThread);
    pipe.closeWriteEnd();
    // No time limit: the user takes as long as they need.
    while (WaitForSingleObject(process.hProcess, kPipePollMilliseconds) == WAIT_TIMEOUT) pipe.drainInto(run);
    pipe.drainInto(run);
    if (!GetExitCodeProcess(process.hProcess, &run.exitCode)) run.exitCode = 0;
    return run;
}
