// The job functions called as the spooler calls them, against a scripted
// print server on loopback and a stand-in for the spooler's job calls.
#include "ErrorCapture.h"
#include "JobEntry.h"
#include "LoopbackPeer.h"
#include "MonitorEntry.h"
#include "Port.h"
#include "PortStore.h"
#include "Recorders.h"
#include "ReferenceServer.h"
#include "RegistryMonitor.h"
#include "ServerWait.h"
#include "SpoolerJobCalls.h"
#include "SystemErrorText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::LoopbackPeer;
using qrxtest::PeerConnection;
using qrxtest::ServedJob;
using qrxtest::serveJob;

constexpr DWORD kSentinel = 0xdeadbeef;
const std::string kAck(1, '\0');

// The spooler's job calls for one job with a known owner and document.
class FakeJobCalls : public SpoolerJobCalls {
public:
    FakeJobCalls() { setSpoolerJobCalls(this); }
    ~FakeJobCalls() override { setSpoolerJobCalls(nullptr); }

    BOOL openPrinter(LPWSTR printerName, LPHANDLE printer) override {
        if (printerName != printer_) {
            SetLastError(ERROR_INVALID_PRINTER_NAME);
            return FALSE;
        }
        *printer = reinterpret_cast<HANDLE>(0x1234);
        ++openPrinters;
        return TRUE;
    }
    BOOL getJob(HANDLE, DWORD jobId, DWORD level, LPBYTE record, DWORD size, LPDWORD needed) override {
        DWORD bytes = sizeof(JOB_INFO_2W) + DWORD((user.size() + document.size() + 2) * sizeof(wchar_t));
        *needed = bytes;
        if (jobId != kJobId || level != 2) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (size < bytes) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        auto* info = reinterpret_cast<JOB_INFO_2W*>(record);
        *info = JOB_INFO_2W{};
        auto* strings = reinterpret_cast<wchar_t*>(record + sizeof(JOB_INFO_2W));
        wcscpy(strings, user.c_str());
        info->pUserName = user.empty() ? nullptr : strings;
        wcscpy(strings + user.size() + 1, document.c_str());
        info->pDocument = strings + user.size() + 1;
        info->JobId = jobId;
        info->Status = queueStatus;
        return TRUE;
    }
    BOOL setJob(HANDLE, DWORD, DWORD level, LPBYTE record, DWORD command) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (command == JOB_CONTROL_DELETE) {
            ++deleted;
            return TRUE;
        }
        if (command == JOB_CONTROL_RESTART) {
            ++restarts;
            return restartRefused ? FALSE : TRUE;
        }
        if (failStatus) {
            SetLastError(ERROR_ACCESS_DENIED);
            return FALSE;
        }
        auto* info = reinterpret_cast<JOB_INFO_2W*>(record);
        if (level == 2 && info) {
            statuses.push_back(info->Status);
            statusTexts.push_back(info->pStatus ? info->pStatus : L"");
        }
        return TRUE;
    }
    BOOL closePrinter(HANDLE) override {
        ++closedPrinters;
        return TRUE;
    }

    static constexpr DWORD kJobId = 17;
    std::wstring printer_ = L"Office";
    std::wstring user = L"alice";
    std::wstring document = L"report.txt";
    bool failStatus = false;
    bool restartRefused = false;
    std::atomic<DWORD> queueStatus{0};
    std::mutex mutex;
    std::vector<DWORD> statuses;
    std::vector<std::wstring> statusTexts;
    std::atomic<int> deleted{0}, restarts{0}, openPrinters{0}, closedPrinters{0};
};

class JobPath : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(InitializePrintMonitor2(&init_, &monitor_), nullptr); }
    void TearDown() override { entry::shutdown(monitor_); }

    // A port of the store pointing at the given server port.
    void configure(const std::wstring& name, const std::wstring& serverPort, const std::wstring& queue = L"PRT1",
                   DWORD unattended = 0) {
        PortStore store(registry_.handle());
        store.createPortKey(name);
        store.writePortValue(name, L"Host", std::wstring(L"127.0.0.1"));
        store.writePortValue(name, L"Port", serverPort);
        store.writePortValue(name, L"Printer", queue);
        store.writePortValue(name, L"Unattended", unattended);
        // A failure is final, as it is without waiting, unless a test lets the job wait.
        store.writePortValue(name, L"RetryMinutes", DWORD{0});
    }
    HANDLE open(const std::wstring& name) {
        HANDLE port = nullptr;
        EXPECT_TRUE(entry::openPort(monitor_, const_cast<LPWSTR>(name.c_str()), &port));
        static_cast<Port*>(port)->setLimits(quickLimits());
        return port;
    }
    static LpdLimits quickLimits() {
        LpdLimits limits;
        limits.acknowledgement = std::chrono::seconds(3);
        return limits;
    }
    BOOL start(HANDLE port, const wchar_t* printer = L"Office", const wchar_t* title = L"ignored") {
        DOC_INFO_1W info{const_cast<LPWSTR>(title), nullptr, nullptr};
        SetLastError(kSentinel);
        return entry::startDocPort(port, const_cast<LPWSTR>(printer), FakeJobCalls::kJobId, 1,
                                   reinterpret_cast<LPBYTE>(&info));
    }
    BOOL write(HANDLE port, const std::string& data, DWORD* written = nullptr) {
        DWORD ignored = 0;
        SetLastError(kSentinel);
        return entry::writePort(port, reinterpret_cast<LPBYTE>(const_cast<char*>(data.data())),
                                DWORD(data.size()), written ? written : &ignored);
    }

    qrxtest::RegistryMonitor registry_;
    MONITORINIT init_ = registry_.handle().init;
    HANDLE monitor_ = nullptr;
    FakeJobCalls calls_;
    qrxtest::RecordingEventLog log_;
    qrxtest::RecordingMessageBoxes boxes_;
};

TEST_F(JobPath, AJobReachesTheServerWithItsOwnerDocumentAndAttributes) {
    ServedJob served;
    LoopbackPeer peer([&](PeerConnection& c) { served = serveJob(c); });
    configure(L"P1", peer.port());
    PortStore(registry_.handle()).writePortValue(L"P1", L"Name", std::wstring(L"Ann O'Hara"));
    calls_.document = L"line one\nline two";
    HANDLE port = open(L"P1");
    ASSERT_TRUE(start(port)) << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(write(port, "first block", &written));
    EXPECT_EQ(written, 11u);
    EXPECT_TRUE(write(port, std::string(70000, 'x')));
    SetLastError(kSentinel);
    EXPECT_TRUE(entry::endDocPort(port));
    EXPECT_TRUE(entry::closePort(port));
    peer.join();

    EXPECT_EQ(served.jobLine, "\xC2PRT1\n");
    EXPECT_NE(served.controlText.find("Palice\n"), std::string::npos);
    EXPECT_NE(served.controlText.find("XVAVname-text='Ann O\\'Hara' \n"), std::string::npos);
    EXPECT_NE(served.controlText.find("Nline one line two\n"), std::string::npos) << "one N line";
    EXPECT_EQ(served.data, "first block" + std::string(70000, 'x'));
    EXPECT_TRUE(served.ended);
    EXPECT_EQ(calls_.deleted, 1) << "a printed job leaves the queue";
    EXPECT_EQ(calls_.closedPrinters, 1);
    EXPECT_TRUE(log_.events().empty());
}

TEST_F(JobPath, AnEmptyQueueStillSendsTheJobCommand) {
    ServedJob served;
    LoopbackPeer peer([&](PeerConnection& c) { served = serveJob(c); });
    configure(L"P1", peer.port(), L"");
    HANDLE port = open(L"P1");
    ASSERT_TRUE(start(port));
    EXPECT_TRUE(entry::endDocPort(port));
    entry::closePort(port);
    peer.join();
    EXPECT_EQ(served.jobLine, "\xC2\n");
}

TEST_F(JobPath, TwoDocumentsUseTwoConnections) {
    std::atomic<int> jobs{0};
    LoopbackPeer peer([&](PeerConnection& c) { jobs += serveJob(c).ended ? 1 : 0; }, AF_INET, 2);
    configure(L"P1", peer.port());
    HANDLE port = open(L"P1");
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(start(port));
        EXPECT_TRUE(write(port, "data"));
        EXPECT_TRUE(entry::endDocPort(port));
    }
    entry::closePort(port);
    peer.join();
    EXPECT_EQ(jobs, 2);
}

TEST_F(JobPath, AMissingPortKeyFailsWithTheRegistryErrorAndRemovesTheJob) {
    HANDLE port = open(L"NeverAdded");
    EXPECT_FALSE(start(port));
    EXPECT_EQ(GetLastError(), 2u);
    ASSERT_EQ(log_.events().size(), 1u);
    EXPECT_EQ(log_.events()[0].message.rfind(L"VAV5050E Registry error: fpOpenKey() failed.\nname: Ports\\NeverAdded\n", 0),
              0u);
    ASSERT_EQ(calls_.statuses.size(), 1u);
    EXPECT_EQ(calls_.statuses[0], static_cast<DWORD>(JOB_STATUS_ERROR));
    EXPECT_EQ(calls_.statusTexts[0].find(L'\n'), std::wstring::npos) << "the status text is one line";
    EXPECT_EQ(calls_.deleted, 1);
    EXPECT_EQ(boxes_.boxes().size(), 1u) << "an attended port shows the error";
    entry::closePort(port);
}

TEST_F(JobPath, AServerThatIsDownFailsWithTheConnectionError) {
    configure(L"P1", qrxtest::closedPort(), L"PRT1", 1);
    HANDLE port = open(L"P1");
    EXPECT_FALSE(start(port));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(WSAECONNREFUSED));
    ASSERT_EQ(log_.events().size(), 1u);
    EXPECT_NE(log_.events()[0].message.find(L"Communication error: Connection failed."), std::wstring::npos);
    EXPECT_TRUE(boxes_.boxes().empty()) << "an unattended port shows nothing";
    EXPECT_EQ(calls_.deleted, 1);
    entry::closePort(port);
}

// A server that refuses or closes at a step of the job: the event, the box
// and the job's status give the server's text (or a message of the monitor's
// own where it sent none), the step, and where the job went.
TEST_F(JobPath, EveryRefusalOrCloseNamesItsStepThePortHostLpdPortAndQueue) {
    using refserver::FaultPlan;
    using refserver::FaultStep;
    struct Case {
        const char* what;
        FaultPlan plan;
        bool failsAtTheEnd;
        std::wstring message;
        const wchar_t* step;
        DWORD code;
    };
    const Case cases[] = {
        {"a refusal with a text", FaultPlan::refuse(FaultStep::JobCommand, "VAV001E Unknown printer PRT1"), false,
         L"VAV001E Unknown printer PRT1", L"the job command", ERROR_INVALID_PRINTER_NAME},
        {"a refusal without a text", FaultPlan::refuse(FaultStep::ControlFileCommand, ""), false,
         L"VAV5060E The Prentova Server refused the job without a message.", L"the control file",
         ERROR_INVALID_PRINTER_COMMAND},
        {"a close instead of an answer", FaultPlan::close(FaultStep::DataFileCommand), false,
         L"VAV5052E The Prentova Server LPD prematurely closed the connection.", L"the data file command",
         ERROR_INVALID_PRINTER_STATE},
        {"a refusal at the end", FaultPlan::refuse(FaultStep::EndOfData, "VAV004E Cannot store the job"), true,
         L"VAV004E Cannot store the job", L"the end of the data", ERROR_INVALID_PRINTER_STATE},
    };
    refserver::ReferenceServer server{refserver::ServerOptions{}};
    configure(L"P1", std::to_wstring(server.port()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        server.setFaultPlan(c.plan);
        const size_t before = log_.events().size();
        HANDLE port = open(L"P1");
        const bool started = start(port);
        const bool ended = started && write(port, "data") && entry::endDocPort(port);
        EXPECT_FALSE(ended);
        EXPECT_EQ(started, c.failsAtTheEnd);
        EXPECT_EQ(GetLastError(), c.code);
        const std::wstring place = L"port: P1\nhost: 127.0.0.1, port " + std::to_wstring(server.port()) + L"\nqueue: PRT1";
        const std::wstring expected = c.message + L"\nstep: " + c.step + L"\n" + place;
        ASSERT_EQ(log_.events().size(), before + 1);
        EXPECT_EQ(log_.events().back().message, expected);
        EXPECT_EQ(boxes_.boxes().back().text, expected);
        std::wstring status = expected;
        std::replace(status.begin(), status.end(), L'\n', L' ');
        EXPECT_EQ(calls_.statusTexts.back(), status);
        entry::closePort(port);
    }
}

TEST_F(JobPath, AfterAFailedWriteTheEndFailsWithoutANewError) {
    LoopbackPeer peer([](PeerConnection& c) {
        ServedJob header;
        qrxtest::acceptJobHeader(c, header);
        c.send(std::string(1, '\x01') + "VAV080E Printer jammed");
    });
    configure(L"P1", peer.port());
    HANDLE port = open(L"P1");
    ASSERT_TRUE(start(port));
    peer.join();
    Sleep(50);
    EXPECT_FALSE(write(port, "data"));
    EXPECT_EQ(GetLastError(), 1906u);
    EXPECT_EQ(boxes_.boxes().at(0).text, L"VAV080E Printer jammed\nstep: the job's data\nport: P1\nhost: 127.0.0.1, port " +
                                             peer.port() + L"\nqueue: PRT1");
    EXPECT_EQ(calls_.statusTexts.at(0), L"VAV080E Printer jammed step: the job's data port: P1 host: 127.0.0.1, port " +
                                            peer.port() + L" queue: PRT1")
        << "the status shows the same text with blanks for line feeds";
    SetLastError(kSentinel);
    EXPECT_FALSE(entry::endDocPort(port));
    EXPECT_EQ(GetLastError(), kSentinel);
    EXPECT_EQ(log_.events().size(), 1u);
    entry::closePort(port);
}

TEST_F(JobPath, AFailedStatusIsLoggedAndTheJobsOwnErrorReported) {
    calls_.failStatus = true;
    configure(L"P1", qrxtest::closedPort());
    HANDLE port = open(L"P1");
    EXPECT_FALSE(start(port));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(WSAECONNREFUSED)) << "the job's error, not the status error";
    auto events = log_.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].message.rfind(L"SetJob() failed.\n", 0), 0u);
    EXPECT_NE(events[1].message.find(L"Connection failed."), std::wstring::npos);
    EXPECT_EQ(calls_.deleted, 1) << "the job is removed all the same";
    EXPECT_EQ(calls_.closedPrinters, 1);
    entry::closePort(port);
}

TEST_F(JobPath, AnEmptyWriteSendsNothingAndAWriteAfterTheEndFails) {
    ServedJob served;
    LoopbackPeer peer([&](PeerConnection& c) { served = serveJob(c); });
    configure(L"P1", peer.port());
    HANDLE port = open(L"P1");
    ASSERT_TRUE(start(port));
    DWORD written = kSentinel;
    EXPECT_TRUE(write(port, "", &written));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(write(port, "abc"));
    EXPECT_TRUE(entry::endDocPort(port));
    EXPECT_FALSE(write(port, "late"));
    EXPECT_TRUE(entry::endDocPort(port)) << "a second end has nothing left to do";
    entry::closePort(port);
    peer.join();
    EXPECT_EQ(served.data, "abc");
    EXPECT_TRUE(served.ended) << "the empty write did not end the data early";
}

TEST_F(JobPath, ClosingAPortWhoseJobNeverEndedRemovesTheJobAndTheConnection) {
    std::string afterHeader;
    LoopbackPeer peer([&](PeerConnection& c) {
        ServedJob header;
        qrxtest::acceptJobHeader(c, header);
        afterHeader = c.readAll();
    });
    configure(L"P1", peer.port());
    HANDLE port = open(L"P1");
    ASSERT_TRUE(start(port));
    EXPECT_TRUE(write(port, "partial"));
    EXPECT_TRUE(entry::closePort(port));
    peer.join();
    EXPECT_EQ(calls_.deleted, 1);
    EXPECT_EQ(afterHeader.size(), 4u + 7u) << "the connection closed without an end of data";
}

TEST_F(JobPath, WithoutAPrinterNameTheDocumentRecordAndTheCallerStandIn) {
    ServedJob served;
    LoopbackPeer peer([&](PeerConnection& c) { served = serveJob(c); });
    configure(L"P1", peer.port());
    HANDLE port = open(L"P1");
    ASSERT_TRUE(start(port, nullptr, L"From the record"));
    EXPECT_TRUE(entry::endDocPort(port));
    entry::closePort(port);
    peer.join();
    wchar_t user[257];
    DWORD length = 257;
    ASSERT_TRUE(GetUserNameW(user, &length));
    std::wstring wide = user;
    EXPECT_NE(served.controlText.find("P" + std::string(wide.begin(), wide.end()) + "\n"), std::string::npos);
    EXPECT_NE(served.controlText.find("NFrom the record\n"), std::string::npos);
    EXPECT_EQ(calls_.openPrinters, 0);
}

TEST_F(JobPath, ARealJobWithoutAnOwnerHasNoPLine) {
    ServedJob served;
    LoopbackPeer peer([&](PeerConnection& c) { served = serveJob(c); });
    configure(L"P1", peer.port());
    calls_.user = L"";
    HANDLE port = open(L"P1");
    ASSERT_TRUE(start(port));
    EXPECT_TRUE(entry::endDocPort(port));
    entry::closePort(port);
    peer.join();
    ASSERT_NE(served.controlText.find("Nreport.txt\n"), std::string::npos) << served.controlText;
    EXPECT_EQ(("\n" + served.controlText).find("\nP"), std::string::npos) << served.controlText;
}

TEST_F(JobPath, ALongRefusalOnAnOpenConnectionIsReportedAndLoggedCut) {
    const std::string refusal = "VAV001E " + std::string(64 * 1024 - 8, 'x');
    LoopbackPeer peer([&](PeerConnection& c) {
        c.readLine();
        c.send(std::string(1, '\x01') + refusal);
        c.readAll();
    });
    configure(L"P1", peer.port());
    HANDLE port = open(L"P1");
    LpdLimits limits = quickLimits();
    limits.acknowledgement = std::chrono::seconds(20);
    limits.messageSilence = std::chrono::milliseconds(300);
    static_cast<Port*>(port)->setLimits(limits);
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(start(port));
    EXPECT_EQ(GetLastError(), 1801u);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    ASSERT_EQ(log_.events().size(), 1u);
    const std::wstring& logged = log_.events()[0].message;
    EXPECT_EQ(logged.size(), kLongestEventInsert);
    EXPECT_EQ(logged, std::wstring(refusal.begin(), refusal.begin() + kLongestEventInsert));
    EXPECT_EQ(boxes_.boxes().at(0).text.rfind(std::wstring(refusal.begin(), refusal.end()) + L"\nstep: ", 0), 0u)
        << "the box shows the whole text";
    entry::closePort(port);
}

TEST_F(JobPath, NullHandlesAreUnknownPorts) {
    SetLastError(kSentinel);
    EXPECT_FALSE(entry::startDocPort(nullptr, nullptr, 0, 1, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
    SetLastError(kSentinel);
    EXPECT_FALSE(entry::endDocPort(nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
    DWORD written = 0;
    EXPECT_FALSE(entry::writePort(nullptr, nullptr, 0, &written));
    HANDLE port = open(L"Idle");
    SetLastError(kSentinel);
    EXPECT_FALSE(entry::endDocPort(port)) << "no document in progress";
    EXPECT_EQ(GetLastError(), kSentinel);
    entry::closePort(port);
}

// A clock that never sleeps: each pause moves its time on and is kept, and
// the test acts at the pause of its choosing.
class PlayedClock : public WaitClock {
public:
    PlayedClock() { setWaitClock(this); }
    ~PlayedClock() override { setWaitClock(nullptr); }
    ULONGLONG milliseconds() const override { return now_; }
    bool pause(DWORD milliseconds, const std::vector<HANDLE>& stops) const override {
        pauses.push_back(milliseconds);
        now_ += milliseconds;
        if (atPause) atPause(pauses.size());
        return std::none_of(stops.begin(), stops.end(),
                            [](HANDLE stop) { return WaitForSingleObject(stop, 0) == WAIT_OBJECT_0; });
    }
    mutable std::vector<DWORD> pauses;
    std::function<void(size_t pause)> atPause;

private:
    mutable ULONGLONG now_ = 1000000;
};

// The message identifier of each event logged since the count given; a
// broken connection reads as the premature close or the communication
// error, whichever the socket saw first, so both read as "VAV505?E".
std::vector<std::wstring> identifiersSince(const qrxtest::RecordingEventLog& log, size_t count) {
    std::vector<std::wstring> identifiers;
    const auto events = log.events();
    for (size_t i = count; i < events.size(); ++i) {
        std::wstring identifier = events[i].message.substr(0, 8);
        if (identifier == L"VAV5052E" || identifier == L"VAV5053E") identifier = L"VAV505?E";
        identifiers.push_back(identifier);
    }
    return identifiers;
}

// A server that cannot be reached: the job waits in StartDocPort, with
// growing pauses and the reason in its status, and goes out as soon as the
// server answers (each try reads the port afresh); it ends as it would
// without waiting when the port's time is over, when it is deleted in the
// queue, or for a refusal; a job held in the queue waits on; a closed port
// ends the wait and leaves the job in the queue.
TEST_F(JobPath, AJobWaitsForAServerThatCannotBeReachedAndGoesOutWhenItAnswers) {
    constexpr size_t kNever = 0;
    struct Case {
        const char* what;
        DWORD minutes;
        size_t serverUpAt;  // the pause after which the port points at the server
        size_t deletedAt;
        size_t heldUntil;   // the job is paused in the queue up to this pause
        size_t closedAt;
        bool refusing;
        std::vector<DWORD> pauses;
        BOOL started;
        DWORD error;
        std::vector<std::wstring> logged;
    };
    const Case cases[] = {
        {"the server answers at the third try", 60, 2, kNever, kNever, kNever, false, {5000, 10000}, TRUE, 0,
         {L"VAV5061W", L"VAV5062I"}},
        {"a port that does not wait", 0, 1, kNever, kNever, kNever, false, {}, FALSE, WSAECONNREFUSED, {L"VAV505?E"}},
        {"the waiting time runs out", 1, kNever, kNever, kNever, kNever, false, {5000, 10000, 20000, 25000}, FALSE,
         WSAECONNREFUSED, {L"VAV5061W", L"VAV5063E"}},
        {"the job deleted in the queue", 60, kNever, 1, kNever, kNever, false, {5000}, FALSE, WSAECONNREFUSED,
         {L"VAV5061W", L"VAV505?E"}},
        {"the job held in the queue", 60, 4, kNever, 3, kNever, false, {5000, 5000, 5000, 10000}, TRUE, 0,
         {L"VAV5061W", L"VAV5062I"}},
        {"the port closed while it waits", 60, kNever, kNever, kNever, 2, false, {5000, 10000}, FALSE,
         ERROR_OPERATION_ABORTED, {L"VAV5061W"}},
        {"a refusal", 60, kNever, kNever, kNever, kNever, true, {}, FALSE, ERROR_INVALID_PRINTER_NAME, {L"VAV001E "}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        refserver::ReferenceServer server{refserver::ServerOptions{}};
        if (c.refusing) server.setFaultPlan(refserver::FaultPlan::refuse(refserver::FaultStep::JobCommand, "VAV001E no"));
        configure(L"P1", c.refusing ? std::to_wstring(server.port()) : qrxtest::closedPort());
        RegSetKeyValueW(registry_.root(), L"Ports\\P1", L"RetryMinutes", REG_DWORD, &c.minutes, sizeof c.minutes);
        const size_t eventsBefore = log_.events().size();
        const int deletedBefore = calls_.deleted;
        calls_.queueStatus = 0;
        HANDLE port = open(L"P1");
        PlayedClock clock;
        clock.atPause = [&](size_t pause) {
            if (pause == c.serverUpAt)
                PortStore(registry_.handle()).writePortValue(L"P1", L"Port", std::to_wstring(server.port()));
            if (pause == c.deletedAt) calls_.queueStatus = JOB_STATUS_DELETING;
            calls_.queueStatus = pause < c.heldUntil ? JOB_STATUS_PAUSED : calls_.queueStatus & ~JOB_STATUS_PAUSED;
            if (pause == c.closedAt) static_cast<Port*>(port)->stopWaiting();
        };
        const BOOL started = start(port);
        const DWORD error = GetLastError();
        EXPECT_EQ(started, c.started);
        if (!started) {
            EXPECT_EQ(error, c.error);
        }
        EXPECT_EQ(clock.pauses, c.pauses);
        EXPECT_EQ(identifiersSince(log_, eventsBefore), c.logged);
        const bool shownWaiting =
            std::any_of(calls_.statusTexts.begin(), calls_.statusTexts.end(), [](const std::wstring& text) {
                return text.rfind(L"Waiting for the Prentova Server 127.0.0.1:", 0) == 0;
            });
        EXPECT_EQ(shownWaiting, !c.pauses.empty()) << "the queue shows why the job waits";
        calls_.statusTexts.clear();
        if (started) {
            EXPECT_TRUE(write(port, "data"));
            EXPECT_TRUE(entry::endDocPort(port));
            ASSERT_TRUE(server.waitForJobs(1, std::chrono::seconds(5)));
            EXPECT_EQ(server.jobs().size(), 1u) << "printed once";
        }
        EXPECT_EQ(calls_.deleted - deletedBefore, error == ERROR_OPERATION_ABORTED ? 0 : 1)
            << "a stopped wait leaves the job in the queue";
        entry::closePort(port);
    }
}

// A connection that breaks in the job's data: the spooler is asked to send
// the job again (the rest of this pass is dropped and the job stays in the
// queue), a few times per job; a port that does not wait, a refused restart
// or a fourth break ends the job as it always did. The server keeps no half job.
TEST_F(JobPath, AConnectionBrokenInTheDataHasTheSpoolerSendTheJobAgain) {
    struct Case {
        const char* what;
        DWORD minutes;
        bool restartRefused;
        int passes;  // of the same job, each broken
        BOOL lastEnded;
        int restarts;
        std::vector<std::wstring> logged;
    };
    const Case cases[] = {
        {"a break", 60, false, 1, TRUE, 1, {L"VAV5064W"}},
        {"a port that does not wait", 0, false, 1, FALSE, 0, {L"VAV505?E"}},
        {"a restart the spooler refuses", 60, true, 1, FALSE, 1, {L"VAV505?E"}},
        {"the fourth break of one job", 60, false, 4, FALSE, 3, {L"VAV5064W", L"VAV5064W", L"VAV5064W", L"VAV505?E"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        refserver::ReferenceServer server{refserver::ServerOptions{}};
        refserver::FaultPlan breaks = refserver::FaultPlan::close(refserver::FaultStep::AfterChunk, 1);
        breaks.everyConversation = true;
        server.setFaultPlan(breaks);
        configure(L"P1", std::to_wstring(server.port()));
        RegSetKeyValueW(registry_.root(), L"Ports\\P1", L"RetryMinutes", REG_DWORD, &c.minutes, sizeof c.minutes);
        calls_.restartRefused = c.restartRefused;
        const int restartsBefore = calls_.restarts, deletedBefore = calls_.deleted;
        const size_t eventsBefore = log_.events().size();
        HANDLE port = open(L"P1");
        BOOL ended = FALSE;
        for (int pass = 0; pass < c.passes; ++pass) {
            ASSERT_TRUE(start(port));
            EXPECT_TRUE(write(port, "first"));
            ended = entry::endDocPort(port);
        }
        EXPECT_EQ(ended, c.lastEnded);
        EXPECT_EQ(calls_.restarts - restartsBefore, c.restarts);
        EXPECT_EQ(calls_.deleted - deletedBefore, ended ? 0 : 1) << "a job sent again stays in the queue";
        EXPECT_EQ(identifiersSince(log_, eventsBefore), c.logged);
        EXPECT_TRUE(server.jobs().empty()) << "no half job";
        entry::closePort(port);
    }
}

}  // namespace
