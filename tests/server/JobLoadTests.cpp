// Many ports printing at once, and a server that dies in the middle of a job.
#include "JobEntry.h"
#include "LoopbackPeer.h"
#include "MonitorEntry.h"
#include "PortStore.h"
#include "Recorders.h"
#include "RegistryMonitor.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const bool englishResources = (qrxtest::useEnglishResources(), true);

using qrxtest::LoopbackPeer;
using qrxtest::PeerConnection;

std::string pattern(size_t count, int seed) {
    std::string data(count, '\0');
    uint32_t state = 2166136261u ^ uint32_t(seed);
    for (size_t i = 0; i < count; ++i) {
        state = state * 16777619u + 0x9E3779B9u;
        data[i] = static_cast<char>(state >> 24);
    }
    return data;
}

class JobLoad : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(InitializePrintMonitor2(&init_, &monitor_), nullptr); }
    void TearDown() override { entry::shutdown(monitor_); }

    void configure(const std::wstring& name, const std::wstring& serverPort, const std::wstring& queue) {
        PortStore store(registry_.handle());
        store.createPortKey(name);
        store.writePortValue(name, L"Host", std::wstring(L"127.0.0.1"));
        store.writePortValue(name, L"Port", serverPort);
        store.writePortValue(name, L"Printer", queue);
        store.writePortValue(name, L"Unattended", DWORD{1});
    }
    // One document of the given data in blocks; the result of each call in turn.
    static bool print(HANDLE port, const std::wstring& title, const std::string& data, size_t block) {
        DOC_INFO_1W doc{const_cast<LPWSTR>(title.c_str()), nullptr, nullptr};
        if (!entry::startDocPort(port, nullptr, 0, 1, reinterpret_cast<LPBYTE>(&doc))) return false;
        for (size_t at = 0; at < data.size(); at += block) {
            DWORD count = DWORD(std::min(block, data.size() - at)), written = 0;
            if (!entry::writePort(port, reinterpret_cast<LPBYTE>(const_cast<char*>(data.data() + at)), count,
                                  &written))
                return false;
        }
        return entry::endDocPort(port) != FALSE;
    }

    qrxtest::RegistryMonitor registry_;
    MONITORINIT init_ = registry_.handle().init;
    HANDLE monitor_ = nullptr;
    qrxtest::RecordingEventLog log_;
};

TEST_F(JobLoad, EightPortsWithFourJobsEachArriveWholeAndApart) {
    constexpr int kPorts = 8, kJobs = 4;
    constexpr size_t kSize = 3 * 1024 * 1024 + 17;
    std::mutex lock;
    std::map<std::string, qrxtest::ServedJob> received;  // by document title
    LoopbackPeer peer(
        [&](PeerConnection& c) {
            qrxtest::ServedJob job = qrxtest::serveJob(c);
            size_t at = job.controlText.find("\nN");
            std::string title = at == std::string::npos ? "" : job.controlText.substr(at + 2, job.controlText.find('\n', at + 2) - at - 2);
            std::lock_guard<std::mutex> guard(lock);
            received[title] = std::move(job);
        },
        AF_INET, kPorts * kJobs, true);
    for (int p = 0; p < kPorts; ++p) configure(L"LOAD" + std::to_wstring(p), peer.port(), L"Q" + std::to_wstring(p));

    std::vector<std::thread> printers;
    std::vector<int> printed(kPorts, 0);
    for (int p = 0; p < kPorts; ++p) {
        printers.emplace_back([&, p] {
            HANDLE port = nullptr;
            entry::openPort(monitor_, const_cast<LPWSTR>((L"LOAD" + std::to_wstring(p)).c_str()), &port);
            for (int j = 0; j < kJobs; ++j)
                if (print(port, L"doc-" + std::to_wstring(p) + L"-" + std::to_wstring(j), pattern(kSize, p * kJobs + j),
                          65536))
                    ++printed[p];
            entry::closePort(port);
        });
    }
    for (std::thread& printer : printers) printer.join();
    peer.join();

    ASSERT_EQ(received.size(), size_t(kPorts * kJobs));
    for (int p = 0; p < kPorts; ++p) {
        EXPECT_EQ(printed[p], kJobs) << "port " << p;
        for (int j = 0; j < kJobs; ++j) {
            const qrxtest::ServedJob& job = received["doc-" + std::to_string(p) + "-" + std::to_string(j)];
            EXPECT_EQ(job.jobLine, "\xC2Q" + std::to_string(p) + "\n");
            EXPECT_TRUE(job.ended);
            EXPECT_EQ(job.data.size(), kSize);
            EXPECT_TRUE(job.data == pattern(kSize, p * kJobs + j)) << "job " << p << "-" << j << " was changed";
        }
    }
    EXPECT_TRUE(log_.events().empty());
}

TEST_F(JobLoad, AServerThatDiesMidJobFailsThatJobAndTheNextOnePrints) {
    int connection = 0;
    qrxtest::ServedJob second;
    LoopbackPeer peer(
        [&](PeerConnection& c) {
            if (connection++ == 0) {
                qrxtest::ServedJob header;
                qrxtest::acceptJobHeader(c, header);
                c.read(100000);
                c.reset();
            } else {
                second = qrxtest::serveJob(c);
            }
        },
        AF_INET, 2);
    configure(L"DIES", peer.port(), L"Q");
    HANDLE port = nullptr;
    entry::openPort(monitor_, const_cast<LPWSTR>(L"DIES"), &port);
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(print(port, L"first", pattern(16 * 1024 * 1024, 1), 65536));
    DWORD error = GetLastError();
    EXPECT_TRUE(error == WSAECONNRESET || error == WSAECONNABORTED || error == 1906u) << error;
    ASSERT_FALSE(log_.events().empty());
    // Depending on when the reset is seen: a failed send or receive, or the
    // close noticed by the poll before the next chunk.
    const std::wstring& message = log_.events()[0].message;
    EXPECT_TRUE(message.find(L"Communication error") != std::wstring::npos ||
                message.find(L"prematurely closed") != std::wstring::npos)
        << std::string(message.begin(), message.end());
    EXPECT_TRUE(print(port, L"second", "after the failure", 65536));
    entry::closePort(port);
    peer.join();
    EXPECT_EQ(second.data, "after the failure");
}

}  // namespace
