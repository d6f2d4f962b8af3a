#include "Sessions.h"

#include <wtsapi32.h>

namespace {

class SystemSessions : public SessionCalls {
public:
    std::optional<DWORD> clientSession() const override {
        OwnedHandle token;
        if (!OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.out())) {
            if (GetLastError() == ERROR_NO_TOKEN) return std::nullopt;
            return 0;
        }
        DWORD session = 0;
        DWORD size = 0;
        if (!GetTokenInformation(token.get(), TokenSessionId, &session, sizeof session, &size)) return 0;
        return session;
    }
    DWORD consoleSession() const override { return WTSGetActiveConsoleSessionId(); }
    OwnedHandle userToken(DWORD session) const override {
        OwnedHandle token;
        if (!WTSQueryUserToken(session, token.out())) return OwnedHandle();
        return token;
    }
};

const SystemSessions systemSessions;
const SessionCalls* installedSessions = nullptr;

}  // namespace

const SessionCalls& sessionCalls() { return installedSessions ? *installedSessions : systemSessions; }

void setSessionCalls(const SessionCalls* calls) { installedSessions = calls; }

std::optional<DWORD> promptSession(const SessionCalls& calls) {
    if (std::optional<DWORD> client = calls.clientSession()) {
        if (*client == 0) return std::nullopt;
        return client;
    }
    const DWORD console = calls.consoleSession();
    if (console == SessionCalls::kNoSession) return std::nullopt;
    return console;
}

ThreadIdentity::ThreadIdentity() {
    if (!OpenThreadToken(GetCurrentThread(), TOKEN_IMPERSONATE | TOKEN_QUERY | TOKEN_DUPLICATE, TRUE,
                         saved_.out()))
        *saved_.out() = nullptr;
}

ThreadIdentity::~ThreadIdentity() {
    if (saved_)
        SetThreadToken(nullptr, saved_.get());
    else
        RevertToSelf();
}

void ThreadIdentity::actAsSelf() { RevertToSelf(); }
