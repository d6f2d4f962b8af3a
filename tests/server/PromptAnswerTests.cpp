// Who is asked about a job, and what the monitor takes from the answer: the
// session choice played through its seam, and jobs on a prompting port
// whose prompt program (a stand-in started for real) answers in every way.
#include "LoopbackPeer.h"
#include "Port.h"
#include "PortStore.h"
#include "Recorders.h"
#include "RegistryMonitor.h"
#include "Sessions.h"

#include <wtsapi32.h>

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::LoopbackPeer;
using qrxtest::PeerConnection;
using qrxtest::ServedJob;

constexpr DWORD kConsole = 1;

// The stand-in built beside the test programs.
std::wstring standInPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.rfind(L'\\')) + L"\\qrx-prompt-standin.exe";
}

// Sessions as a test plays them; a user "logged on" to a session gets the
// token of the user Wine has, so that the program really starts.
class PlayedSessions : public SessionCalls {
public:
    PlayedSessions(std::optional<DWORD> client, DWORD console, std::set<DWORD> withUser)
        : client_(client), console_(console), withUser_(std::move(withUser)) {
        setSessionCalls(this);
    }
    ~PlayedSessions() override { setSessionCalls(nullptr); }
    std::optional<DWORD> clientSession() const override { return client_; }
    DWORD consoleSession() const override { return console_; }
    OwnedHandle userToken(DWORD session) const override {
        asked.push_back(session);
        OwnedHandle token;
        if (withUser_.count(session)) WTSQueryUserToken(WTSGetActiveConsoleSessionId(), token.out());
        return token;
    }
    mutable std::vector<DWORD> asked;

private:
    std::optional<DWORD> client_;
    DWORD console_;
    std::set<DWORD> withUser_;
};

TEST(PromptSession, TheUserOfTheSessionThatPrintedIsAskedNobodyForANetworkClientTheConsoleWithoutAClient) {
    struct Case {
        const char* what;
        std::optional<DWORD> client;
        DWORD console;
        std::set<DWORD> withUser;
        std::optional<DWORD> chosen;
        std::vector<DWORD> asked;
        bool started;
    };
    const Case cases[] = {
        {"a client in session 3 with a user there", 3, kConsole, {kConsole, 3}, 3, {3}, true},
        {"a network client (session 0)", 0, kConsole, {0, kConsole}, std::nullopt, {}, false},
        {"a client whose session has no user", 5, kConsole, {kConsole}, 5, {5}, false},
        {"no impersonation: the console", std::nullopt, kConsole, {kConsole}, kConsole, {kConsole}, true},
        {"no impersonation and nobody at the console", std::nullopt, SessionCalls::kNoSession, {}, std::nullopt,
         {}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlayedSessions sessions(c.client, c.console, c.withUser);
        EXPECT_EQ(promptSession(sessions), c.chosen);
        PromptRun run = launchPromptApplication(standInPath(), L"QRXANSWER-silent:");
        EXPECT_EQ(sessions.asked, c.asked);
        EXPECT_EQ(run.started, c.started);
    }
}

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

    qrxtest::RegistryMonitor monitor_;
    PortStore store_{monitor_.handle()};
    qrxtest::RecordingEventLog log_;
};

std::string attributeLine(const std::string& controlFile) {
    size_t start = ("\n" + controlFile).find("\nX");
    if (start == std::string::npos) return {};
    return controlFile.substr(start, controlFile.find('\n', start) - start);
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
         {L"VAV5056E The value Host in the answer of the prompt program was ignored.",
          L"VAV5056E The value Room in the answer of the prompt program was ignored."}},
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
        std::vector<std::wstring> logged;
        const auto events = log_.events();
        for (size_t i = eventsBefore; i < events.size(); ++i)
            logged.push_back(events[i].message.substr(0, events[i].message.find(L'\n')));
        EXPECT_EQ(logged, c.logged);
        store_.deletePortKey(port);
    }
}

}  // namespace
