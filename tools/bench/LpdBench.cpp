// Prints what the monitor's job path costs on loopback against the
// reference print server, beside a minimal Winsock sender that puts the same
// bytes on the wire with no monitor code, and the ratios:
//   - throughput of a 256 MiB job (or the MiB given) in 4 KiB and in 64 KiB blocks;
//   - 200 back-to-back 1 KiB jobs: rate and the slowest job;
//   - peak working set after a 16 MiB job and after the 256 MiB jobs.
// Three senders: minimal, the LPD client, and the spooler's job functions
// (StartDocPort, WritePort, EndDocPort) on a configured port.
#include "JobEntry.h"
#include "LpdClient.h"
#include "MonitorEntry.h"
#include "ModuleState.h"
#include "PortStore.h"
#include "ReferenceServer.h"
#include "RegistryMonitor.h"
#include "TestPaths.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const ControlFile kControlFile = ControlFile::build(L"BENCH", L"bench", L"", L"bench.dat");

// One sender of whole jobs: start, blocks, finish.
struct Sender {
    const char* name;
    std::function<void(const std::vector<char>& block, size_t blocks, size_t lastBlock)> sendJob;
};

// The bytes of the job on the wire, written straight with Winsock.
class MinimalSender {
public:
    explicit MinimalSender(unsigned short port) : port_(port) {}
    void sendJob(const std::vector<char>& block, size_t blocks, size_t lastBlock) {
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        int size = 65536;
        setsockopt(s, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<char*>(&size), sizeof size);
        setsockopt(s, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), sizeof size);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port_);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
        std::string text = "HBENCH\nPbench\nNbench.dat\nldfA000BENCH\n";
        command(s, "\xC2" "PRT1\n");
        command(s, "\x04" + std::to_string(text.size()) + " cfA000BENCH\n");
        command(s, text + std::string(1, '\0'));
        command(s, "\x16" "dfA000BENCH\n");
        for (size_t i = 0; i < blocks; ++i) {
            uint32_t count = uint32_t(i + 1 == blocks ? lastBlock : block.size());
            char header[4] = {char(count >> 24), char(count >> 16), char(count >> 8), char(count)};
            WSABUF buffers[2] = {{4, header}, {count, const_cast<char*>(block.data())}};
            DWORD sent = 0;
            WSASend(s, buffers, 2, &sent, 0, nullptr, nullptr);
        }
        BOOL on = TRUE;
        setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on), sizeof on);
        command(s, std::string(4, '\0'));
        shutdown(s, SD_SEND);
        char drain[256];
        while (recv(s, drain, sizeof drain, 0) > 0) {
        }
        closesocket(s);
    }

private:
    static void command(SOCKET s, const std::string& bytes) {
        send(s, bytes.data(), int(bytes.size()), 0);
        char answer = 1;
        recv(s, &answer, 1, 0);
    }
    unsigned short port_;
};

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

size_t peakWorkingSetMiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / (1024 * 1024);
}

double throughputMiBs(const Sender& sender, size_t blockSize, size_t totalBytes) {
    std::vector<char> block(blockSize);
    for (size_t i = 0; i < blockSize; ++i) block[i] = char(i * 7);
    size_t blocks = (totalBytes + blockSize - 1) / blockSize;
    auto start = Clock::now();
    sender.sendJob(block, blocks, totalBytes - (blocks - 1) * blockSize);
    return double(totalBytes) / (1024.0 * 1024.0) / seconds(Clock::now() - start);
}

struct SmallJobs {
    double perSecond;
    double slowestMs;
    double meanMs;
};

SmallJobs smallJobs(const Sender& sender, int count) {
    std::vector<char> block(1024, 'x');
    double slowest = 0;
    auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        auto jobStart = Clock::now();
        sender.sendJob(block, 1, 1024);
        slowest = std::max(slowest, seconds(Clock::now() - jobStart) * 1000);
    }
    double total = seconds(Clock::now() - start);
    return {count / total, slowest, total * 1000 / count};
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    WSADATA winsock;
    WSAStartup(MAKEWORD(2, 2), &winsock);
    HMODULE resources = LoadLibraryW(qrxtest::deliverablePath(L"QRXPM1033U.dll").c_str());
    module::setResources(resources);

    refserver::ServerOptions options;
    options.maxConnections = 4;
    options.keepWireBytes = 0;  // the records of 600 connections must not count as the sender's memory
    refserver::ReferenceServer server(options);
    const std::wstring port = std::to_wstring(server.port());

    qrxtest::RegistryMonitor registry;
    PortStore store(registry.handle());
    store.createPortKey(L"BENCH:");
    store.writePortValue(L"BENCH:", L"Host", std::wstring(L"127.0.0.1"));
    store.writePortValue(L"BENCH:", L"Port", port);
    store.writePortValue(L"BENCH:", L"Printer", std::wstring(L"PRT1"));
    store.writePortValue(L"BENCH:", L"Unattended", DWORD{1});
    MONITORINIT init = registry.handle().init;
    HANDLE monitor = nullptr;
    InitializePrintMonitor2(&init, &monitor);
    HANDLE portHandle = nullptr;
    entry::openPort(monitor, const_cast<LPWSTR>(L"BENCH:"), &portHandle);

    MinimalSender minimal(server.port());
    const std::vector<Sender> senders = {
        {"minimal Winsock",
         [&](const std::vector<char>& block, size_t blocks, size_t last) { minimal.sendJob(block, blocks, last); }},
        {"LpdClient",
         [&](const std::vector<char>& block, size_t blocks, size_t last) {
             LpdClient client(L"PRT1", L"127.0.0.1", port);
             client.startJob(kControlFile);
             for (size_t i = 0; i < blocks; ++i)
                 client.sendChunk(reinterpret_cast<const BYTE*>(block.data()),
                                  DWORD(i + 1 == blocks ? last : block.size()));
             client.finishJob();
         }},
        {"StartDocPort..",
         [&](const std::vector<char>& block, size_t blocks, size_t last) {
             DOC_INFO_1W doc{const_cast<LPWSTR>(L"bench.dat"), nullptr, nullptr};
             if (!entry::startDocPort(portHandle, nullptr, 0, 1, reinterpret_cast<LPBYTE>(&doc)))
                 std::printf("StartDocPort failed: %lu\n", GetLastError());
             DWORD written = 0;
             for (size_t i = 0; i < blocks; ++i)
                 entry::writePort(portHandle, reinterpret_cast<LPBYTE>(const_cast<char*>(block.data())),
                                  DWORD(i + 1 == blocks ? last : block.size()), &written);
             entry::endDocPort(portHandle);
         }},
    };

    // The size of the big job in MiB may be given on the command line.
    const size_t kBig = size_t(argc > 1 ? _wtoi(argv[1]) : 256) * 1024 * 1024;
    for (const Sender& sender : senders) throughputMiBs(sender, 65536, 16u * 1024 * 1024);
    size_t peakSmall = peakWorkingSetMiB();

    std::printf("%-16s %12s %12s %10s %12s %12s\n", "sender", "4K MiB/s", "64K MiB/s", "1K jobs/s", "1K mean ms",
                "1K max ms");
    std::vector<double> results[3];
    for (const Sender& sender : senders) {
        double small = throughputMiBs(sender, 4096, kBig);
        double large = throughputMiBs(sender, 65536, kBig);
        SmallJobs jobs = smallJobs(sender, 200);
        std::printf("%-16s %12.1f %12.1f %10.1f %12.2f %12.2f\n", sender.name, small, large, jobs.perSecond,
                    jobs.meanMs, jobs.slowestMs);
        results[&sender - senders.data()] = {small, large, jobs.meanMs, jobs.slowestMs};
    }
    for (int i = 1; i < 3; ++i)
        std::printf("%-16s ratio to minimal: 4K %.2f  64K %.2f  1K job time %.2f  (targets: >= 0.90, >= 0.90, <= 1.50; "
                    "slowest 1K job %.2f ms, target <= 20)\n",
                    senders[i].name, results[i][0] / results[0][0], results[i][1] / results[0][1],
                    results[i][2] / results[0][2], results[i][3]);
    std::printf("peak working set: %zu MiB after 16 MiB jobs, %zu MiB after %zu MiB jobs\n", peakSmall,
                peakWorkingSetMiB(), kBig / (1024 * 1024));
    std::printf("server accepted %zu jobs\n", server.jobs().size());

    entry::closePort(portHandle);
    entry::shutdown(monitor);
    server.stop();
    return 0;
}
