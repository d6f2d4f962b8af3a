#include "PromptLauncher.h"

#include <windows.h>
#include <userenv.h>
#include <wtsapi32.h>

namespace {

constexpr DWORD kPromptCancelled = 2;

// Closes a kernel handle when it goes.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
    ~OwnedHandle() {
        if (handle_) CloseHandle(handle_);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const { return handle_; }
    HANDLE* out() { return &handle_; }

private:
    HANDLE handle_ = nullptr;
};

// Puts the thread's identity back as it was when the object was made: the
// token it was impersonating, or its own.
class ThreadIdentity {
public:
    ThreadIdentity() {
        if (!OpenThreadToken(GetCurrentThread(), TOKEN_IMPERSONATE | TOKEN_QUERY | TOKEN_DUPLICATE, TRUE,
                             saved_.out()))
            *saved_.out() = nullptr;
    }
    ~ThreadIdentity() {
        if (saved_.get())
            SetThreadToken(nullptr, saved_.get());
        else
            RevertToSelf();
    }
    ThreadIdentity(const ThreadIdentity&) = delete;
    ThreadIdentity& operator=(const ThreadIdentity&) = delete;

private:
    OwnedHandle saved_;
};

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

// A primary token of the active console session's user, impersonated by the
// calling thread; false when there is none.
bool impersonateConsoleUser(OwnedHandle& primary) {
    RevertToSelf();
    OwnedHandle sessionToken;
    if (!WTSQueryUserToken(WTSGetActiveConsoleSessionId(), sessionToken.out())) return false;
    constexpr DWORD kTokenAccess = TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE | TOKEN_QUERY |
                                   READ_CONTROL;
    if (!DuplicateTokenEx(sessionToken.get(), kTokenAccess, nullptr, SecurityImpersonation, TokenPrimary,
                          primary.out()))
        return false;
    return ImpersonateLoggedOnUser(primary.get()) != FALSE;
}

}  // namespace

bool launchPromptApplication(const std::wstring& programPath, const std::wstring& portName) {
    ThreadIdentity identity;
    OwnedHandle token;
    if (!impersonateConsoleUser(token)) return false;
    EnvironmentBlock environment(token.get());
    if (!environment.get()) return false;

    std::wstring commandLine = programPath + L" " + portName;
    wchar_t desktop[] = L"winsta0\\default";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    startup.lpDesktop = desktop;
    PROCESS_INFORMATION process{};
    if (!CreateProcessAsUserW(token.get(), programPath.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                              CREATE_UNICODE_ENVIRONMENT | NORMAL_PRIORITY_CLASS | DETACHED_PROCESS,
                              environment.get(), nullptr, &startup, &process))
        return false;
    OwnedHandle processHandle(process.hProcess);
    OwnedHandle threadHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = 0;
    if (!GetExitCodeProcess(process.hProcess, &exitCode)) exitCode = 0;
    return exitCode != kPromptCancelled;
}
