// Printing through Wine's spooler with the installed monitor, the job
// functions called as the spooler calls them on a real spooler job, and the
// installed prompt program started for a port that asks for its options.
#include "ActivationHook.h"
#include "ChildProcesses.h"
#include "Fnv1a64.h"
#include "JobEntry.h"
#include "LoopbackPeer.h"
#include "MonitorEntry.h"
#include "OwnedHandle.h"
#include "PrinterSetup.h"
#include "PromptLauncher.h"
#include "Recorders.h"
#include "ReferenceServer.h"
#include "ResourceIds.h"
#include "StoredPort.h"
#include "TestPaths.h"
#include "WindowDriver.h"
#include "WritesDenied.h"

#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::LoopbackPeer;
using qrxtest::PeerConnection;
using qrxtest::ServedJob;
using qrxtest::StoredPort;
using qrxtest::WindowDriver;

std::string pattern(size_t count, int seed) {
    std::string data(count, '\0');
    for (size_t i = 0; i < count; ++i) data[i] = static_cast<char>((i * 131 + seed * 7 + (i >> 9)) & 0xFF);
    return data;
}

// A port of the monitor that sends to a loopback server; unattended, so that
// a failure never waits for a click on a message box.
void pointAt(const StoredPort& port, const std::wstring& serverPort) {
    port.set(L"Host", L"127.0.0.1");
    port.set(L"Port", serverPort);
    port.set(L"Printer", L"PRT1");
    port.set(L"Unattended", DWORD{1});
    port.set(L"RetryMinutes", DWORD{0});
}

// A printer of Wine's spooler on one of our ports, deleted afterwards.
class WinePrinter {
public:
    WinePrinter(const std::wstring& name, const std::wstring& port)
        : name_(name), printer_(openOrAddPrinter(name, port)) {}
    ~WinePrinter() {
        if (!printer_) return;
        DeletePrinter(printer_);
        ClosePrinter(printer_);
    }
    HANDLE handle() const { return printer_; }
    const std::wstring& name() const { return name_; }

private:
    std::wstring name_;
    HANDLE printer_ = nullptr;
};

TEST(PrintPath, ADocumentPrintedThroughWinesSpoolerArrivesIntact) {
    ServedJob served;
    LoopbackPeer peer([&](PeerConnection& c) { served = qrxtest::serveJob(c); });
    StoredPort port(L"QRXPRINT1:");
    pointAt(port, peer.port());
    WinePrinter printer(L"QRX Print Path", port.name());
    ASSERT_NE(printer.handle(), nullptr) << GetLastError();

    DOC_INFO_1W doc{const_cast<LPWSTR>(L"Quarterly report"), nullptr, const_cast<LPWSTR>(L"RAW")};
    ASSERT_NE(StartDocPrinterW(printer.handle(), 1, reinterpret_cast<LPBYTE>(&doc)), 0u) << GetLastError();
    const std::string data = pattern(300000, 1);
    for (size_t at = 0; at < data.size(); at += 100000) {
        DWORD written = 0;
        ASSERT_TRUE(WritePrinter(printer.handle(), const_cast<char*>(data.data() + at), 100000, &written));
    }
    EXPECT_TRUE(EndDocPrinter(printer.handle()));
    peer.join();
    EXPECT_TRUE(served.ended);
    EXPECT_EQ(served.jobLine, "\xC2PRT1\n");
    EXPECT_EQ(served.data.size(), data.size());
    EXPECT_TRUE(served.data == data) << "the bytes changed on the way";
}

// A job printed while its server is down waits in the port and goes out,
// whole and once, when the server starts: Wine's spooler, the installed
// monitor and the real clock (a first try, 5 s, then 10 s).
TEST(PrintPath, AJobWaitsForItsServerAndPrintsOnceWhenItStarts) {
    const std::wstring serverPort = qrxtest::closedPort();
    StoredPort port(L"QRXWAIT1:");
    pointAt(port, serverPort);
    port.set(L"RetryMinutes", DWORD{1});
    WinePrinter printer(L"QRX Waiting Printer", port.name());
    ASSERT_NE(printer.handle(), nullptr) << GetLastError();

    // Wine's spooler hands the job to the port inside EndDocPrinter, whose
    // first try finds no server; the server starts two seconds later, well
    // before the second try, which comes after the first pause of 5 s.
    std::unique_ptr<refserver::ReferenceServer> server;
    OwnedHandle handingOver(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::thread starter([&] {
        WaitForSingleObject(handingOver.get(), 60000);
        Sleep(2000);
        refserver::ServerOptions options;
        options.port = static_cast<unsigned short>(std::stoul(serverPort));
        server = std::make_unique<refserver::ReferenceServer>(options);
    });
    DOC_INFO_1W doc{const_cast<LPWSTR>(L"Waited for"), nullptr, const_cast<LPWSTR>(L"RAW")};
    const std::string data = pattern(100000, 4);
    DWORD written = 0;
    const bool started = StartDocPrinterW(printer.handle(), 1, reinterpret_cast<LPBYTE>(&doc)) != 0;
    EXPECT_TRUE(started && WritePrinter(printer.handle(), const_cast<char*>(data.data()), DWORD(data.size()), &written));
    SetEvent(handingOver.get());
    const ULONGLONG handedOver = GetTickCount64();
    EXPECT_TRUE(EndDocPrinter(printer.handle())) << "handed to the port, which waited for the server";
    EXPECT_GE(GetTickCount64() - handedOver, 4500u) << "printed on the second try, after the first pause";
    starter.join();
    ASSERT_TRUE(server && server->waitForJobs(1, std::chrono::seconds(20)));
    refserver::Fnv1a64 checksum;
    checksum.add(data.data(), data.size());
    const std::vector<refserver::ReceivedJob> jobs = server->jobs();
    ASSERT_EQ(jobs.size(), 1u) << "printed once";
    EXPECT_EQ(jobs[0].dataBytes, data.size());
    EXPECT_EQ(jobs[0].checksum, checksum.value()) << "byte for byte";
    // Ending the spooler's own job hands it to the port once more: that print fails at once.
    port.set(L"Port", qrxtest::closedPort());
    port.set(L"RetryMinutes", DWORD{0});
    AbortPrinter(printer.handle());
}

// The monitor of this test program, over the ordinary registry as under Wine.
class MonitorInProcess : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(InitializePrintMonitor2(&init_, &monitor_), nullptr); }
    void TearDown() override { entry::shutdown(monitor_); }
    HANDLE open(const std::wstring& name) {
        HANDLE port = nullptr;
        EXPECT_TRUE(entry::openPort(monitor_, const_cast<LPWSTR>(name.c_str()), &port));
        return port;
    }
    // One whole job on the port, with no printer name, as Wine's spooler starts it.
    ServedJob printOnce(const std::wstring& portName) {
        ServedJob served;
        LoopbackPeer peer([&](PeerConnection& c) { served = qrxtest::serveJob(c); });
        StoredPort port(portName);  // already there: only reopened
        port.set(L"Port", peer.port());
        HANDLE handle = open(portName);
        DOC_INFO_1W doc{const_cast<LPWSTR>(L"doc"), nullptr, nullptr};
        EXPECT_TRUE(entry::startDocPort(handle, nullptr, 0, 1, reinterpret_cast<LPBYTE>(&doc))) << GetLastError();
        EXPECT_TRUE(entry::endDocPort(handle));
        entry::closePort(handle);
        peer.join();
        return served;
    }

    MONITORINIT init_{};
    HANDLE monitor_ = nullptr;
    qrxtest::RecordingEventLog log_;
};

TEST_F(MonitorInProcess, TheControlFileCarriesTheSpoolerJobsDocument) {
    ServedJob served;
    LoopbackPeer peer([&](PeerConnection& c) { served = qrxtest::serveJob(c); });
    StoredPort port(L"QRXJOB1:");
    pointAt(port, peer.port());
    WinePrinter printer(L"QRX Job Printer", port.name());
    ASSERT_NE(printer.handle(), nullptr);
    DOC_INFO_1W spooled{const_cast<LPWSTR>(L"Spooled title"), nullptr, const_cast<LPWSTR>(L"RAW")};
    DWORD jobId = StartDocPrinterW(printer.handle(), 1, reinterpret_cast<LPBYTE>(&spooled));
    ASSERT_NE(jobId, 0u);

    // The owner is the job record's, or none: Wine's record names none.
    std::vector<BYTE> record(4096);
    DWORD needed = 0;
    ASSERT_TRUE(GetJobW(printer.handle(), jobId, 2, record.data(), DWORD(record.size()), &needed));
    const wchar_t* owner = reinterpret_cast<JOB_INFO_2W*>(record.data())->pUserName;
    const std::string ownerLine = owner && *owner ? "P" + std::string(owner, owner + wcslen(owner)) + "\n" : "";

    HANDLE handle = open(port.name());
    DOC_INFO_1W given{const_cast<LPWSTR>(L"Given title"), nullptr, nullptr};
    ASSERT_TRUE(entry::startDocPort(handle, const_cast<LPWSTR>(printer.name().c_str()), jobId, 1,
                                    reinterpret_cast<LPBYTE>(&given)))
        << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(entry::writePort(handle, reinterpret_cast<LPBYTE>(const_cast<char*>("abc")), 3, &written));
    EXPECT_TRUE(entry::endDocPort(handle));
    entry::closePort(handle);
    peer.join();
    // Ending the spooler's own job hands it to the port once more: let that
    // print fail at once instead of waiting for a server that is done.
    port.set(L"Port", qrxtest::closedPort());
    AbortPrinter(printer.handle());

    EXPECT_NE(served.controlText.find("NSpooled title\n"), std::string::npos) << served.controlText;
    if (ownerLine.empty()) {
        EXPECT_EQ(("\n" + served.controlText).find("\nP"), std::string::npos) << served.controlText;
    } else {
        EXPECT_NE(served.controlText.find(ownerLine), std::string::npos) << served.controlText;
    }
    EXPECT_EQ(served.data, "abc");
}

// A port that asks for its options at print time; the monitor starts the
// installed prompt program, which the tests answer through its window.
class Prompting : public MonitorInProcess {
protected:
    void SetUp() override {
        MonitorInProcess::SetUp();
        port_.set(L"Host", L"127.0.0.1");
        port_.set(L"Printer", L"PRT1");
        port_.set(L"Unattended", DWORD{1});
        port_.set(L"Show", DWORD{1});
        port_.set(L"Name", L"Stored Name");
        port_.set(L"Room", L"12");
    }

    StoredPort port_{L"QRXPROMPT:"};
};

constexpr wchar_t kOptionsCaption[] = L"Prentova Port Monitor Options";

// Runs call() on this thread, which waits for the prompt program, while
// script() answers the program's window from a second thread. When the script
// fails, the prompt programs this process started are ended, so that call()
// returns.
bool answeringThePrompt(const std::function<bool()>& call, const std::function<void(WindowDriver&)>& script) {
    std::atomic<bool> finished{false};
    std::thread answering([&] {
        WindowDriver driver(&finished);
        driver.searchProcess(WindowDriver::kEveryProcess);
        try {
            script(driver);
        } catch (const std::exception& failure) {
            ADD_FAILURE() << "window script: " << failure.what();
            qrxtest::endChildProcesses(L"QRXPromptApp.exe");
        }
    });
    bool result = call();
    finished = true;
    answering.join();
    return result;
}

std::function<void(WindowDriver&)> pressing(int button) {
    return [button](WindowDriver& driver) {
        HWND dialog = driver.waitForWindow(kOptionsCaption);
        driver.click(dialog, button);
        driver.waitUntilClosed(dialog);
    };
}

// One document printed through Wine's spooler, which hands the job to the
// port, and so starts the prompt, in EndDocPrinter on this thread.
void printAnswering(const WinePrinter& printer, const std::function<void(WindowDriver&)>& answer) {
    DOC_INFO_1W doc{const_cast<LPWSTR>(L"Prompted document"), nullptr, const_cast<LPWSTR>(L"RAW")};
    ASSERT_NE(StartDocPrinterW(printer.handle(), 1, reinterpret_cast<LPBYTE>(&doc)), 0u) << GetLastError();
    DWORD written = 0;
    EXPECT_TRUE(WritePrinter(printer.handle(), const_cast<char*>("page"), 4, &written));
    EXPECT_TRUE(answeringThePrompt([&] { return EndDocPrinter(printer.handle()) != FALSE; }, answer));
}

// The X line of a control file, without its line feed.
std::string attributeLine(const std::string& controlFile) {
    size_t start = ("\n" + controlFile).find("\nX");
    if (start == std::string::npos) return {};
    return controlFile.substr(start, controlFile.find('\n', start) - start);
}

TEST_F(Prompting, ThroughWinesSpoolerTheAnswersReachTheJobAndACancelPrintsWhatIsStored) {
    refserver::ReferenceServer server{refserver::ServerOptions{}};
    port_.set(L"Port", std::to_wstring(server.port()));
    WinePrinter printer(L"QRX Prompt Printer", port_.name());
    ASSERT_NE(printer.handle(), nullptr) << GetLastError();
    auto print = [&](const std::function<void(WindowDriver&)>& answer) { printAnswering(printer, answer); };

    print([](WindowDriver& driver) {
        HWND dialog = driver.waitForWindow(kOptionsCaption);
        EXPECT_EQ(driver.text(dialog, IDC_OPT_NAME), L"Stored Name") << "filled with the stored options";
        EXPECT_EQ(driver.text(dialog, IDC_OPT_ROOM), L"12");
        EXPECT_TRUE(driver.isChecked(dialog, IDC_OPT_PROMPT));
        EXPECT_TRUE(GetWindowLongPtrW(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST) << "in front of other windows";
        EXPECT_EQ(GetForegroundWindow(), dialog);
        driver.setText(dialog, IDC_OPT_NAME, L"Ann O'Hara");
        driver.click(dialog, IDOK);
        driver.waitUntilClosed(dialog);
    });
    print([](WindowDriver& driver) {
        HWND dialog = driver.waitForWindow(kOptionsCaption);
        EXPECT_EQ(driver.text(dialog, IDC_OPT_NAME), L"Ann O'Hara") << "the first answer was stored";
        driver.setText(dialog, IDC_OPT_NAME, L"Someone Else");
        driver.click(dialog, IDCANCEL);
        driver.waitUntilClosed(dialog);
    });

    ASSERT_TRUE(server.waitForJobs(2, std::chrono::seconds(20)));
    const std::vector<refserver::ReceivedJob> jobs = server.jobs();
    // The dialog stores the address as four lines, empty ones included.
    const std::string answered =
        "XVAVname-text='Ann O\\'Hara' room-text='12' address1-text='' address2-text='' address3-text='' "
        "address4-text='' ";
    EXPECT_EQ(attributeLine(jobs[0].controlFileText), answered) << jobs[0].controlFileText;
    EXPECT_EQ(attributeLine(jobs[1].controlFileText), answered) << "cancelled: the options as stored";
    EXPECT_EQ(port_.get(L"Name"), L"Ann O'Hara");
}

TEST_F(Prompting, AnswersTheMonitorMayNotStoreStillReachTheJobAndTheFailureIsLogged) {
    refserver::ReferenceServer server{refserver::ServerOptions{}};
    port_.set(L"Port", std::to_wstring(server.port()));
    const auto before = port_.raw(L"Name");
    qrxtest::WritesDenied denied(port_.path());
    // The spooler's thread impersonates its client while it prints.
    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));

    // This program's own monitor, whose event log the test records.
    HANDLE handle = open(port_.name());
    DOC_INFO_1W doc{const_cast<LPWSTR>(L"doc"), nullptr, nullptr};
    const auto printed = [&] {
        return entry::startDocPort(handle, nullptr, 0, 1, reinterpret_cast<LPBYTE>(&doc)) &&
               entry::endDocPort(handle);
    };
    EXPECT_TRUE(answeringThePrompt(printed, [](WindowDriver& driver) {
        HWND dialog = driver.waitForWindow(kOptionsCaption);
        driver.setText(dialog, IDC_OPT_NAME, L"Ann O'Hara");
        driver.click(dialog, IDOK);
        driver.waitUntilClosed(dialog);
    }));
    entry::closePort(handle);

    HANDLE after = nullptr;
    EXPECT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &after)) << "the impersonation is back";
    if (after) CloseHandle(after);
    RevertToSelf();
    ASSERT_TRUE(server.waitForJobs(1, std::chrono::seconds(20)));
    const std::string control = server.jobs()[0].controlFileText;
    EXPECT_NE(attributeLine(control).find("name-text='Ann O\\'Hara'"), std::string::npos) << control;
    EXPECT_EQ(port_.raw(L"Name"), before) << "the key is unchanged";
    const auto events = log_.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().message.substr(0, events.back().message.find(L'\n')),
              L"VAV5050E Registry error: fpOpenKey() failed.");
    EXPECT_NE(events.back().message.find(L"error code: 5\n"), std::wstring::npos) << events.back().message;
}

TEST_F(Prompting, AProgramThatCannotStartLeavesTheJobPrintingWithoutAPromptAndIsLogged) {
    qrxtest::SystemFileAside program(L"QRXPromptApp.exe");
    port_.set(L"Room", L"Stored");
    EXPECT_FALSE(launchPromptApplication(promptProgramPath(), port_.name()).started());
    ServedJob served = printOnce(port_.name());
    EXPECT_TRUE(served.ended);
    EXPECT_NE(served.controlText.find("room-text='Stored'"), std::string::npos);

    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const auto events = log_.events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().message.rfind(L"CreateProcessAsUser() failed.\nname: " + std::wstring(system) +
                                              L"\\QRXPromptApp.exe\nport: " + port_.name() + L"\n",
                                          0),
              0u)
        << "the program is looked for in the system directory: " << events.back().message;
}

TEST_F(Prompting, TheThreadKeepsItsIdentityAndACancelAnswersFalse) {
    const auto launch = [&] { return launchPromptApplication(promptProgramPath(), port_.name()).confirmed(); };
    HANDLE token = nullptr;
    ASSERT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
    EXPECT_TRUE(answeringThePrompt(launch, pressing(IDOK)));
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) << "left impersonating";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));

    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    EXPECT_FALSE(answeringThePrompt(launch, pressing(IDCANCEL)));
    EXPECT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) << "the earlier impersonation is back";
    if (token) CloseHandle(token);
    RevertToSelf();
}

// The program started by the launch, refused the foreground (as Windows
// refuses it to a program a service starts), flashes until it is activated;
// given the foreground, it does not flash.
TEST_F(Prompting, ADialogRefusedTheForegroundFlashesAndOneInTheForegroundDoesNot) {
    const auto launch = [&] { return launchPromptApplication(promptProgramPath(), port_.name()).confirmed(); };
    for (const bool refused : {true, false}) {
        SCOPED_TRACE(refused ? "refused the foreground" : "given the foreground");
        ASSERT_TRUE(qrxHookActivation(kOptionsCaption, refused));
        answeringThePrompt(launch, [&](WindowDriver& driver) {
            HWND dialog = driver.waitForWindow(kOptionsCaption);
            EXPECT_EQ(GetForegroundWindow() == dialog, !refused);
            EXPECT_EQ(qrxRefusedFlashes() > 0, refused);
            qrxAllowActivation();
            driver.click(dialog, IDCANCEL);
            driver.waitUntilClosed(dialog);
        });
        qrxUnhookActivation();
    }
}

}  // namespace
