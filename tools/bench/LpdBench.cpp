// Prints what the monitor's job path costs on loopback against the
// reference print server, beside a minimal Winsock sender that puts the same
// bytes on the wire with no monitor code.
//
// Under Wine a blocking send on loopback runs at two speeds and flips
// between them within a job, so one sample per sender says little. The
// senders therefore take turns in rounds, in orders that give every sender
// every place and every predecessor equally often, and each figure is the
// median of the per-round ratios to the minimal sender, with its range. The minimal sender runs
// twice per round: the ratio of its second run to its first is the noise of
// the machine, and a run whose noise falls outside 0.9-1.1 is called noisy.
//
//   qrx-bench-lpd [rounds=8] [job MiB=32]
//
// Figures: throughput in 4 KiB and 64 KiB blocks; the time of a 1 KiB job;
// the cost of one 4 KiB send on the path that never blocks (bursts that fit
// in the socket's send buffer, with a pause between bursts); the cost of
// one look for a server's answer (select and FIONREAD); peak working set
// after small and after large jobs.
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
#include <memory>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// One way of putting a job on the wire: start, chunks, finish.
class JobSender {
public:
    explicit JobSender(const char* name) : name_(name) {}
    virtual ~JobSender() = default;
    virtual void start() = 0;
    virtual void chunk(const char* data, uint32_t count) = 0;
    virtual void finish() = 0;
    const char* name() const { return name_; }

private:
    const char* name_;
};

// The bytes of the job, written straight with Winsock.
class MinimalSender : public JobSender {
public:
    MinimalSender(const char* name, unsigned short port) : JobSender(name), port_(port) {}
    void start() override {
        socket_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        int size = 65536;
        setsockopt(socket_, SOL_SOCKET, SO_SNDBUF, reinterpret_cast<char*>(&size), sizeof size);
        setsockopt(socket_, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), sizeof size);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port_);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        std::string text = "HBENCH\nPbench\nNbench.dat\nldfA000BENCH\n";
        command("\xC2" "PRT1\n");
        command("\x04" + std::to_string(text.size()) + " cfA000BENCH\n");
        command(text + std::string(1, '\0'));
        command("\x16" "dfA000BENCH\n");
    }
    void chunk(const char* data, uint32_t count) override {
        char header[4] = {char(count >> 24), char(count >> 16), char(count >> 8), char(count)};
        WSABUF buffers[2] = {{4, header}, {count, const_cast<char*>(data)}};
        DWORD sent = 0;
        WSASend(socket_, buffers, 2, &sent, 0, nullptr, nullptr);
    }
    void finish() override {
        BOOL on = TRUE;
        setsockopt(socket_, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<char*>(&on), sizeof on);
        command(std::string(4, '\0'));
        shutdown(socket_, SD_SEND);
        char drain[256];
        while (recv(socket_, drain, sizeof drain, 0) > 0) {
        }
        closesocket(socket_);
    }

private:
    void command(const std::string& bytes) {
        send(socket_, bytes.data(), int(bytes.size()), 0);
        char answer = 1;
        recv(socket_, &answer, 1, 0);
    }
    unsigned short port_;
    SOCKET socket_ = INVALID_SOCKET;
};

class ClientSender : public JobSender {
public:
    explicit ClientSender(std::wstring port) : JobSender("LpdClient"), port_(std::move(port)) {}
    void start() override {
        client_ = std::make_unique<LpdClient>(L"PRT1", L"127.0.0.1", port_);
        client_->startJob(ControlFile::build(L"BENCH", L"bench", L"", L"bench.dat"));
    }
    void chunk(const char* data, uint32_t count) override {
        client_->sendChunk(reinterpret_cast<const BYTE*>(data), count);
    }
    void finish() override {
        client_->finishJob();
        client_.reset();
    }

private:
    std::wstring port_;
    std::unique_ptr<LpdClient> client_;
};

// The spooler's job functions on a configured port.
class JobFunctionsSender : public JobSender {
public:
    explicit JobFunctionsSender(HANDLE port) : JobSender("StartDocPort.."), port_(port) {}
    void start() override {
        DOC_INFO_1W doc{const_cast<LPWSTR>(L"bench.dat"), nullptr, nullptr};
        if (!entry::startDocPort(port_, nullptr, 0, 1, reinterpret_cast<LPBYTE>(&doc)))
            std::printf("StartDocPort failed: %lu\n", GetLastError());
    }
    void chunk(const char* data, uint32_t count) override {
        DWORD written = 0;
        entry::writePort(port_, reinterpret_cast<LPBYTE>(const_cast<char*>(data)), count, &written);
    }
    void finish() override { entry::endDocPort(port_); }

private:
    HANDLE port_;
};

std::vector<char> blockOf(size_t size) {
    std::vector<char> block(size);
    for (size_t i = 0; i < size; ++i) block[i] = char(i * 7);
    return block;
}

double throughputMiBs(JobSender& sender, size_t blockSize, size_t totalBytes) {
    std::vector<char> block = blockOf(blockSize);
    auto started = Clock::now();
    sender.start();
    for (size_t sent = 0; sent < totalBytes; sent += blockSize)
        sender.chunk(block.data(), uint32_t(std::min(blockSize, totalBytes - sent)));
    sender.finish();
    return double(totalBytes) / (1024.0 * 1024.0) / seconds(Clock::now() - started);
}

double smallJobMs(JobSender& sender, int jobs) {
    std::vector<char> block(1024, 'x');
    auto started = Clock::now();
    for (int i = 0; i < jobs; ++i) {
        sender.start();
        sender.chunk(block.data(), 1024);
        sender.finish();
    }
    return seconds(Clock::now() - started) * 1000 / jobs;
}

// Bursts of 4 KiB sends that fit in the socket's send buffer, a pause after
// each so that the server drains it: the sends never block, and what is
// timed is the sender's own cost. The median burst, per send, in us.
double unblockedSendUs(JobSender& sender, int bursts) {
    constexpr int kSendsPerBurst = 8;
    std::vector<char> block = blockOf(4096);
    std::vector<double> perSend;
    sender.start();
    for (int burst = 0; burst < bursts; ++burst) {
        auto started = Clock::now();
        for (int i = 0; i < kSendsPerBurst; ++i) sender.chunk(block.data(), 4096);
        perSend.push_back(seconds(Clock::now() - started) * 1e6 / kSendsPerBurst);
        Sleep(2);
    }
    sender.finish();
    std::nth_element(perSend.begin(), perSend.begin() + perSend.size() / 2, perSend.end());
    return perSend[perSend.size() / 2];
}

struct Spread {
    double median, low, high;
};

Spread spreadOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {median, values.front(), values.back()};
}

// Per-round figures of every sender, in the senders' order.
using Rounds = std::vector<std::vector<double>>;

// Runs the measure for every sender in every round. The orders form
// balanced Latin squares (rotations of 0, n-1, 1, n-2, ...): over each n
// rounds every sender takes every place once and follows every other
// sender once, so that neither the place in a round nor the sender before
// favours anyone.
template <class Measure>
Rounds interleaved(const std::vector<JobSender*>& senders, int rounds, Measure&& measure) {
    const size_t n = senders.size();
    std::vector<size_t> first;
    for (size_t low = 0, high = n; first.size() < n;) {
        first.push_back(low++);
        if (first.size() < n) first.push_back(--high);
    }
    Rounds figures(n);
    for (int round = 0; round < rounds; ++round)
        for (size_t place = 0; place < n; ++place) {
            size_t at = (first[place] + size_t(round)) % n;
            figures[at].push_back(measure(*senders[at]));
        }
    return figures;
}

// Ratio of each round's figure to the first sender's figure in that round.
Spread ratioTo(const Rounds& figures, size_t sender) {
    std::vector<double> ratios;
    for (size_t round = 0; round < figures[0].size(); ++round) ratios.push_back(figures[sender][round] / figures[0][round]);
    return spreadOf(ratios);
}

void printRatios(const char* what, const std::vector<JobSender*>& senders, const Rounds& figures,
                 const char* unit, const char* target) {
    std::printf("\n%s\n", what);
    for (size_t i = 0; i < senders.size(); ++i) {
        Spread own = spreadOf(figures[i]);
        std::printf("  %-16s median %9.2f %s (%.2f-%.2f)", senders[i]->name(), own.median, unit, own.low, own.high);
        if (i > 0) {
            Spread ratio = ratioTo(figures, i);
            std::printf("   ratio %.2f (%.2f-%.2f)%s", ratio.median, ratio.low, ratio.high,
                        i == 1 ? (ratio.median < 0.9 || ratio.median > 1.1 ? "  NOISY" : "  noise check") : "");
        }
        std::printf("\n");
    }
    std::printf("  target: %s\n", target);
}

// The cost of one look for a server's answer on a connection with nothing
// to read, with select and with FIONREAD.
void printLookCosts(unsigned short serverPort) {
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(serverPort);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    constexpr int kLooks = 20000;
    auto started = Clock::now();
    for (int i = 0; i < kLooks; ++i) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(s, &readable);
        timeval immediately{0, 0};
        select(0, &readable, nullptr, nullptr, &immediately);
    }
    double selectUs = seconds(Clock::now() - started) * 1e6 / kLooks;
    started = Clock::now();
    for (int i = 0; i < kLooks; ++i) {
        u_long waiting = 0;
        ioctlsocket(s, FIONREAD, &waiting);
    }
    double fionreadUs = seconds(Clock::now() - started) * 1e6 / kLooks;
    closesocket(s);
    std::printf("\none look for an answer: select %.1f us, ioctlsocket(FIONREAD) %.1f us\n", selectUs, fionreadUs);
}

size_t peakWorkingSetMiB() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.PeakWorkingSetSize / (1024 * 1024);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = std::max(argc > 1 ? _wtoi(argv[1]) : 8, 1);
    const size_t jobBytes = size_t(std::max(argc > 2 ? _wtoi(argv[2]) : 32, 1)) * 1024 * 1024;

    HMODULE resources = LoadLibraryW(qrxtest::deliverablePath(L"QRXPM1033U.dll").c_str());
    module::setResources(resources);

    refserver::ServerOptions options;
    options.maxConnections = 4;
    options.keepWireBytes = 0;  // the records of many connections must not count as the sender's memory
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

    MinimalSender minimal("minimal Winsock", server.port());
    MinimalSender minimalAgain("minimal again", server.port());
    ClientSender client(port);
    JobFunctionsSender jobFunctions(portHandle);
    const std::vector<JobSender*> senders = {&minimal, &minimalAgain, &client, &jobFunctions};

    for (JobSender* sender : senders) throughputMiBs(*sender, 65536, 16u * 1024 * 1024);
    size_t peakSmall = peakWorkingSetMiB();

    std::printf("%d rounds, %zu MiB jobs; ratios are to the minimal sender of the same round: median (range)\n",
                rounds, jobBytes / (1024 * 1024));
    Rounds small = interleaved(senders, rounds, [&](JobSender& s) { return throughputMiBs(s, 4096, jobBytes); });
    printRatios("throughput, 4 KiB blocks", senders, small, "MiB/s", "ratio >= 0.95");
    Rounds large = interleaved(senders, rounds, [&](JobSender& s) { return throughputMiBs(s, 65536, jobBytes); });
    printRatios("throughput, 64 KiB blocks", senders, large, "MiB/s", "ratio >= 0.95");
    Rounds jobs = interleaved(senders, rounds, [](JobSender& s) { return smallJobMs(s, 40); });
    printRatios("time of a 1 KiB job", senders, jobs, "ms", "ratio <= 1.3");
    Rounds sends = interleaved(senders, rounds, [](JobSender& s) { return unblockedSendUs(s, 100); });
    printRatios("one 4 KiB send that does not block", senders, sends, "us", "ratio <= 1.10");
    printLookCosts(server.port());

    std::printf("\npeak working set: %zu MiB after 16 MiB jobs, %zu MiB after %zu MiB jobs\n", peakSmall,
                peakWorkingSetMiB(), jobBytes / (1024 * 1024));
    std::printf("server accepted %zu jobs\n", server.jobs().size());

    entry::closePort(portHandle);
    entry::shutdown(monitor);
    server.stop();
    return 0;
}
