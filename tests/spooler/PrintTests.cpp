// Printing through Wine's spooler with the installed monitor, and the job
// functions called as the spooler calls them on a real spooler job.
#include "JobEntry.h"
#include "LoopbackPeer.h"
#include "MonitorEntry.h"
#include "PrinterSetup.h"
#include "PromptLauncher.h"
#include "Recorders.h"
#include "StoredPort.h"

#include <windows.h>
#include <winspool.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::LoopbackPeer;
using qrxtest::PeerConnection;
using qrxtest::ServedJob;
using qrxtest::StoredPort;

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

class Prompting : public MonitorInProcess {
protected:
    void SetUp() override {
        MonitorInProcess::SetUp();
        wchar_t system[MAX_PATH];
        GetSystemDirectoryW(system, MAX_PATH);
        program_ = std::wstring(system) + L"\\QRXPromptApp.exe";
        // An installed prompt program is put aside and back again.
        saved_ = program_ + L".saved";
        DeleteFileW(saved_.c_str());
        MoveFileW(program_.c_str(), saved_.c_str());
        ASSERT_TRUE(CopyFileW(QRX_PROMPT_STANDIN, program_.c_str(), FALSE)) << GetLastError();
        DeleteFileW(kLog);
        port_.set(L"Host", L"127.0.0.1");
        port_.set(L"Printer", L"PRT1");
        port_.set(L"Unattended", DWORD{1});
        port_.set(L"Show", DWORD{1});
    }
    void TearDown() override {
        DeleteFileW(program_.c_str());
        MoveFileW(saved_.c_str(), program_.c_str());
        DeleteFileW(kExit);
        MonitorInProcess::TearDown();
    }
    static void answerWith(int exitCode) { std::ofstream(kExit) << exitCode; }
    static std::wstring loggedCommandLine() {
        std::ifstream log(kLog, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
    }

    static constexpr const wchar_t* kLog = L"C:\\windows\\temp\\qrx-standin-log.txt";
    static constexpr const wchar_t* kExit = L"C:\\windows\\temp\\qrx-standin-exit.txt";
    std::wstring program_;
    std::wstring saved_;
    StoredPort port_{L"QRXPROMPT:"};
};

TEST_F(Prompting, TheProgramGetsThePortAndItsAnswersReachTheJob) {
    answerWith(0);
    ServedJob served = printOnce(port_.name());
    EXPECT_EQ(loggedCommandLine(), L"C:\\Windows\\System32\\QRXPromptApp.exe QRXPROMPT:");
    EXPECT_NE(served.controlText.find("room-text='Prompted'"), std::string::npos) << served.controlText;
    EXPECT_TRUE(served.ended);
}

TEST_F(Prompting, ACancelledPromptStillPrints) {
    answerWith(2);
    EXPECT_FALSE(launchPromptApplication(kPromptProgramPath, port_.name()));
    ServedJob served = printOnce(port_.name());
    EXPECT_TRUE(served.ended);
    EXPECT_NE(served.controlText.find("room-text='Cancelled'"), std::string::npos);
}

TEST_F(Prompting, AProgramThatCannotStartLeavesTheJobPrintingWithoutAPrompt) {
    DeleteFileW(program_.c_str());
    port_.set(L"Room", L"Stored");
    EXPECT_FALSE(launchPromptApplication(kPromptProgramPath, port_.name()));
    ServedJob served = printOnce(port_.name());
    EXPECT_TRUE(served.ended);
    EXPECT_NE(served.controlText.find("room-text='Stored'"), std::string::npos);
}

TEST_F(Prompting, TheThreadKeepsItsIdentity) {
    answerWith(0);
    HANDLE token = nullptr;
    ASSERT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
    EXPECT_TRUE(launchPromptApplication(kPromptProgramPath, port_.name()));
    EXPECT_FALSE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) << "left impersonating";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_TOKEN));

    ASSERT_TRUE(ImpersonateSelf(SecurityImpersonation));
    EXPECT_TRUE(launchPromptApplication(kPromptProgramPath, port_.name()));
    EXPECT_TRUE(OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) << "the earlier impersonation is back";
    if (token) CloseHandle(token);
    RevertToSelf();
}

}  // namespace
