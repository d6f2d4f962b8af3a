#include "Sessions.h"

#include <wtsapi32.h>

#include <memory>

namespace {

// A session's connection state; nullopt when the system does not answer.
std::optional<WTS_CONNECTSTATE_CLASS> connectState(DWORD session) {
    LPWSTR buffer = nullptr;
    DWORD size = 0;
    if (!WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, WTSConnectState, &buffer, &size))
        return std::nullopt;
    std::unique_ptr<void, decltype(&WTSFreeMemory)> owned(buffer, &WTSFreeMemory);
    if (!buffer || size < sizeof(WTS_CONNECTSTATE_CLASS)) return std::nullopt;
    return *reinterpret_cast<const WTS_CONNECTSTATE_CLASS*>(buffer);
}

// Whether the system keeps connection states at all: it answers for the
// session this process runs in. Wine keeps none; there every session with
// a user counts as active, as before connection states were looked at.
bool systemKnowsConnectStates() {
    static const bool knows = [] {
        DWORD own = 0;
        return ProcessIdToSessionId(GetCurrentProcessId(), &own) && connectState(own).has_value();
    }();
    return knows;
}

class SystemSessions : public SessionCalls {
public:
    ThreadToken threadToken() const override {
        ThreadToken thread;
        if (!OpenThreadToken(GetCurrentThread(), TOKEN_IMPERSONATE | TOKEN_QUERY | TOKEN_DUPLICATE, TRUE,
                             thread.token.out())) {
            *thread.token.out() = nullptr;
            thread.error = GetLastError();
        }
        return thread;
    }
    ClientIdentity clientOf(HANDLE threadToken) const override {
        ClientIdentity client;
        DWORD session = 0;
        DWORD size = 0;
        client.user = tokenUser(threadToken);
        if (client.user.empty() ||
            !GetTokenInformation(threadToken, TokenSessionId, &session, sizeof session, &size))
            return ClientIdentity();
        client.session = session;
        return client;
    }
    DWORD consoleSession() const override { return WTSGetActiveConsoleSessionId(); }
    OwnedHandle userToken(DWORD session) const override {
        OwnedHandle token;
        if (!WTSQueryUserToken(session, token.out())) *token.out() = nullptr;
        return token;
    }
    bool isActive(DWORD session) const override {
        const std::optional<WTS_CONNECTSTATE_CLASS> state = connectState(session);
        // A session the system does not answer for has ended.
        if (!state) return !systemKnowsConnectStates();
        return *state == WTSActive;
    }
};

const SystemSessions systemSessions;
const SessionCalls* installedSessions = nullptr;

}  // namespace

const SessionCalls& sessionCalls() { return installedSessions ? *installedSessions : systemSessions; }

void setSessionCalls(const SessionCalls* calls) { installedSessions = calls; }

UserSid tokenUser(HANDLE token) {
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size < sizeof(TOKEN_USER)) return {};
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) return {};
    PSID sid = reinterpret_cast<const TOKEN_USER*>(buffer.data())->User.Sid;
    if (!IsValidSid(sid)) return {};
    const BYTE* bytes = static_cast<const BYTE*>(sid);
    return UserSid(bytes, bytes + GetLengthSid(sid));
}

ThreadIdentity::ThreadIdentity(const SessionCalls& calls) {
    ThreadToken thread = calls.threadToken();
    restorable_ = thread.token || thread.error == ERROR_NO_TOKEN;
    saved_ = std::move(thread.token);
}

ThreadIdentity::~ThreadIdentity() {
    if (!restorable_) return;
    if (saved_)
        SetThreadToken(nullptr, saved_.get());
    else
        RevertToSelf();
}

bool ThreadIdentity::actAsSelf() {
    if (!restorable_) return false;
    RevertToSelf();
    return true;
}

std::optional<PromptTarget> promptTarget(const SessionCalls& calls, const ThreadIdentity& identity) {
    if (!identity.restorable()) return std::nullopt;
    if (HANDLE client = identity.clientToken()) {
        ClientIdentity printer = calls.clientOf(client);
        if (printer.session == 0) return std::nullopt;
        return PromptTarget{printer.session, std::move(printer.user)};
    }
    const DWORD console = calls.consoleSession();
    if (console == SessionCalls::kNoSession) return std::nullopt;
    return PromptTarget{console, std::nullopt};
}
