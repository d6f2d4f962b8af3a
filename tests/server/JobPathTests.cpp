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
#include "SpoolerJobCalls.h"
#include "SystemErrorText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
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
        return TRUE;
    }
    BOOL setJob(HANDLE, DWORD, DWORD level, LPBYTE record, DWORD command) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (command == JOB_CONTROL_DELETE) {
            ++deleted;
            return TRUE;
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
    std::mutex mutex;
    std::vector<DWORD> statuses;
    std::vector<std::wstring> statusTexts;
    std::atomic<int> deleted{0}, openPrinters{0}, closedPrinters{0};
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

}  // namespace
