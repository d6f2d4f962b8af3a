// Who is asked about a job, and what the monitor takes from the answer: the
// sessions and users played through their seam, with the prompt program (a
// stand-in started for real, answering as its port name says) asked or not,
// and jobs whose prompt answers in every way.
#include "ChildProcesses.h"
#include "LoopbackPeer.h"
#include "Port.h"
#include "PortStore.h"
#include "Recorders.h"
#include "RegistryMonitor.h"
#include "Sessions.h"

#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <vector>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::LoopbackPeer;
using qrxtest::PeerConnection;
using qrxtest::ServedJob;
using Clock = std::chrono::steady_clock;

constexpr DWORD kConsole = 1;
constexpr DWORD kClientSession = 3;
constexpr const wchar_t* kStandInFile = L"qrx-prompt-standin.exe";

// The stand-in built beside the test programs.
std::wstring standInPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\') + 1) + kStandInFile;
}

UserSid processUser() {
    OwnedHandle token;
    OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.out());
    return tokenUser(token.get());
}

UserSid someoneElse() {
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD size = sizeof sid;
    CreateWellKnownSid(WinLocalSystemSid, nullptr, sid, &size);
    return UserSid(sid, sid + size);
}

bool threadImpersonates() {
    OwnedHandle token;
    return OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, token.out()) != FALSE;
}

enum class Client { None, SameUser, AnotherUser, Network, Unreadable };

// Sessions as a test plays them: the client the thread acts for (the thread
// really impersonates itself for it), a session it prints from and the
// console. A user logged on gets the token of the user Wine has, so that the
// program really starts; a session may stop being active after a number of
// checks, while the program waits.
class PlayedSessions : public SessionCalls {
public:
    struct Play {
        Client client;
        DWORD console;
        bool userThere;
        bool active;
        int activeChecks;  // checks answered as played before the session disconnects; -1: never
    };
    explicit PlayedSessions(const Play& play) : system_(sessionCalls()), play_(play) { setSessionCalls(this); }
    ~PlayedSessions() override { setSessionCalls(nullptr); }

    ThreadToken threadToken() const override {
        if (play_.client == Client::Unreadable) return {OwnedHandle(), ERROR_ACCESS_DENIED};
        return system_.threadToken();
    }
    ClientIdentity clientOf(HANDLE) const override {
        if (play_.client == Client::Network) return {0, processUser()};
        return {kClientSession, play_.client == Client::AnotherUser ? someoneElse() : processUser()};
    }
    DWORD consoleSession() const override { return play_.console; }
    OwnedHandle userToken(DWORD session) const override {
        asked.push_back(session);
        OwnedHandle token;
        if (play_.userThere) WTSQueryUserToken(WTSGetActiveConsoleSessionId(), token.out());
        return token;
    }
    bool isActive(DWORD) const override {
        if (play_.activeChecks < 0 || checks_++ < play_.activeChecks) return play_.active;
        if (!inactiveSince) inactiveSince = Clock::now();
        return false;
    }

    mutable std::vector<DWORD> asked;
    mutable std::optional<Clock::time_point> inactiveSince;

private:
    const SessionCalls& system_;
    Play play_;
    mutable int checks_ = 0;
};

// A prompting port whose options are stored, over the test's own registry root.
class PromptingPort : public testing::Test {
protected:
    void store(const std::wstring& port) {
        store_.createPortKey(port);
        const std::pair<const wchar_t*, const wchar_t*> values[] = {
            {L"Host", L"127.0.0.1"}, {L"Printer", L"PRT1"}, {L"Name", L"Stored Name"}, {L"Room", L"12"}};
        for (const auto& [name, value] : values) store_.writePortValue(port, name, value);
        store_.writePortValue(port, L"Show", DWORD{1});
        store_.writePortValue(port, L"Unattended", DWORD{1});
    }
    ServedJob printOnce(const std::wstring& portName) {
        ServedJob served;
        LoopbackPeer peer([&](PeerConnection& c) { served = qrxtest::serveJob(c); });
        store_.writePortValue(portName, L"Port", peer.port());
        Port port(portName, monitor_.handle());
        port.setPromptProgram(standInPath());
        DOC_INFO_1W doc{const_cast<LPWSTR>(L"doc"), nullptr, nullptr};
        port.startDocument(nullptr, 0, 1, reinterpret_cast<const BYTE*>(&doc));
        port.endDocument();
        peer.join();
        return served;
    }
    std::wstring stored(const std::wstring& port, const wchar_t* value) {
        std::wstring text;
        store_.readPortValue(port, value, text);
        return text;
    }

    // The first line of each event logged since the count given; each must name the port.
    std::vector<std::wstring> headlinesSince(size_t count, const std::wstring& port) const {
        std::vector<std::wstring> headlines;
        const auto events = log_.events();
        for (size_t i = count; i < events.size(); ++i) {
            const std::wstring& message = events[i].message;
            headlines.push_back(message.substr(0, message.find(L'\n')));
            EXPECT_NE(message.find(L"\nport: " + port + L"\n"), std::wstring::npos) << "names the port";
        }
        return headlines;
    }

    qrxtest::RegistryMonitor monitor_;
    PortStore store_{monitor_.handle()};
    qrxtest::RecordingEventLog log_;
};

std::string attributeLine(const std::string& controlFile) {
    size_t start = ("\n" + controlFile).find("\nX");
    if (start == std::string::npos) return {};
    return controlFile.substr(start, controlFile.find('\n', start) - start);
}

TEST_F(PromptingPort, OnlyThePersonWhoPrintedIsAskedAndOnlyWhileTheirSessionIsActive) {
    // The stand-in answers all seven values, the room empty.
    const std::string typedLine = "XVAVname-text='Typed Name' ";
    const std::string storedLine = "XVAVname-text='Stored Name' room-text='12' ";
    struct Case {
        const char* what;
        PlayedSessions::Play play;
        const wchar_t* how;
        std::vector<DWORD> asked;  // the sessions whose user was asked for
        const std::string& attributes;
        std::vector<std::wstring> logged;  // the message identifier of each event
    };
    constexpr DWORD kNone = SessionCalls::kNoSession;
    const Case cases[] = {
        {"the same user, active", {Client::SameUser, kConsole, true, true, -1}, L"typed", {kClientSession},
         typedLine, {}},
        {"another user now in the client's session", {Client::AnotherUser, kConsole, true, true, -1}, L"typed",
         {kClientSession}, storedLine, {L"VAV5057E"}},
        {"a disconnected session", {Client::SameUser, kConsole, true, false, -1}, L"typed", {kClientSession},
         storedLine, {L"VAV5058E"}},
        {"disconnects while the program waits", {Client::SameUser, kConsole, true, true, 3}, L"waiting",
         {kClientSession}, storedLine, {L"VAV5059E"}},
        {"a client's session without a user", {Client::SameUser, kConsole, false, true, -1}, L"typed",
         {kClientSession}, storedLine, {}},
        {"a network client", {Client::Network, kConsole, true, true, -1}, L"typed", {}, storedLine, {}},
        {"no impersonation: the console", {Client::None, kConsole, true, true, -1}, L"typed", {kConsole}, typedLine,
         {}},
        {"no impersonation, nobody at the console", {Client::None, kNone, true, true, -1}, L"typed", {}, storedLine,
         {}},
        {"a thread token that cannot be read", {Client::Unreadable, kConsole, true, true, -1}, L"typed", {},
         storedLine, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::wstring port = std::wstring(L"QRXANSWER-") + c.how + L":";
        store(port);
        const size_t eventsBefore = log_.events().size();
        const bool impersonating = c.play.client != Client::None;
        if (impersonating) {
            ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
        }
        PlayedSessions sessions(c.play);
        const ServedJob served = printOnce(port);
        const Clock::time_point printed = Clock::now();
        EXPECT_EQ(threadImpersonates(), impersonating) << "the thread's identity is as it was";
        RevertToSelf();

        EXPECT_TRUE(served.ended);
        EXPECT_EQ(sessions.asked, c.asked);
        EXPECT_EQ(attributeLine(served.controlText), c.attributes) << served.controlText;
        EXPECT_EQ(stored(port, L"Name"), c.attributes == typedLine ? L"Typed Name" : L"Stored Name");
        std::vector<std::wstring> logged;
        for (const std::wstring& headline : headlinesSince(eventsBefore, port)) logged.push_back(headline.substr(0, 8));
        EXPECT_EQ(logged, c.logged);
        if (sessions.inactiveSince) {
            // The stand-in would have answered after 30 s.
            EXPECT_LT(printed - *sessions.inactiveSince, std::chrono::seconds(5)) << "the prompt ended at once";
            EXPECT_EQ(qrxtest::endChildProcesses(kStandInFile), 0u) << "the program was ended";
        }
        store_.deletePortKey(port);
    }
}

TEST_F(PromptingPort, OnlyTheSevenOptionValuesOfAWholeAnswerAreUsedAndStoredTheRestIsLogged) {
    const std::string storedLine = "XVAVname-text='Stored Name' room-text='12' ";
    struct Case {
        const wchar_t* how;
        std::string attributes;
        const wchar_t* storedName;
        std::vector<std::wstring> logged;  // the headline of each event
    };
    const std::wstring notOfForm = L"VAV5055E The answer of the prompt program was ignored: it is not in the expected form.";
    const Case cases[] = {
        {L"silent", storedLine, L"Stored Name", {}},
        {L"garbage", storedLine, L"Stored Name", {notOfForm}},
        {L"flood", storedLine, L"Stored Name", {notOfForm}},
        {L"cancelled", storedLine, L"Stored Name", {}},
        {L"host",
         "XVAVname-text='Typed Name' room-text='12' ",
         L"Typed Name",
         {L"VAV5056E 2 values in the answer of the prompt program were ignored, the first of them: Host, Room."}},
        {L"unknown",
         "XVAVname-text='Typed Name' room-text='12' ",
         L"Typed Name",
         {L"VAV5056E 10000 values in the answer of the prompt program were ignored, the first of them: a, b, c."}},
    };
    for (const Case& c : cases) {
        const std::wstring port = std::wstring(L"QRXANSWER-") + c.how + L":";
        SCOPED_TRACE(std::string(port.begin(), port.end()));
        store(port);
        const size_t eventsBefore = log_.events().size();
        const ServedJob served = printOnce(port);
        EXPECT_TRUE(served.ended);
        EXPECT_EQ(attributeLine(served.controlText), c.attributes) << served.controlText;
        EXPECT_EQ(stored(port, L"Name"), c.storedName);
        EXPECT_EQ(stored(port, L"Host"), L"127.0.0.1") << "an answer never changes the connection";
        EXPECT_EQ(stored(port, L"Room"), L"12");
        EXPECT_EQ(headlinesSince(eventsBefore, port), c.logged);
        store_.deletePortKey(port);
    }
}

}  // namespace
