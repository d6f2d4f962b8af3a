#include "MonitorSoak.h"

#include "EventLog.h"
#include "InstalledMonitorHeld.h"
#include "Fnv1a64.h"
#include "JobEntry.h"
#include "LPDErrorMap.h"
#include "MonitorEntry.h"
#include "Port.h"
#include "PortStore.h"
#include "ResourceIds.h"
#include "ReferenceServer.h"
#include "SliceGate.h"
#include "SpoolerJobCalls.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <string>

namespace {

using refserver::FaultPlan;
using refserver::FaultStep;

constexpr size_t kChunkBytes = 64 * 1024;
constexpr size_t kLargestJob = 4 * 1024 * 1024;
// Job sizes from 1 KiB to 4 MiB; small jobs are the common ones.
constexpr size_t kJobSizes[] = {1024, 1024, 7000, 16 * 1024, 100000, 256 * 1024, 1024 * 1024, kLargestJob};
constexpr DWORD kJobIdsPerPort = 1000000;

// The spooler's job calls, for one printer per port; it counts, per port,
// the jobs it was asked to delete. Nothing grows with the run.
class SoakJobCalls : public SpoolerJobCalls {
public:
    explicit SoakJobCalls(size_t ports) : deleted_(ports) { setSpoolerJobCalls(this); }
    ~SoakJobCalls() override { setSpoolerJobCalls(nullptr); }

    static std::wstring printerName(size_t port) { return L"Soak Printer " + std::to_wstring(port); }
    size_t deleted(size_t port) const { return deleted_[port]; }

    BOOL openPrinter(LPWSTR name, LPHANDLE printer) override {
        const std::wstring text(name);
        const size_t port = std::stoul(text.substr(text.rfind(L' ') + 1));
        *printer = reinterpret_cast<HANDLE>(port + 1);
        return TRUE;
    }
    BOOL getJob(HANDLE, DWORD jobId, DWORD, LPBYTE record, DWORD size, LPDWORD needed) override {
        static const wchar_t kUser[] = L"soak";
        static const wchar_t kDocument[] = L"soak document";
        const DWORD bytes = sizeof(JOB_INFO_2W) + sizeof kUser + sizeof kDocument;
        *needed = bytes;
        if (size < bytes) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        auto* info = reinterpret_cast<JOB_INFO_2W*>(record);
        *info = JOB_INFO_2W{};
        auto* strings = reinterpret_cast<wchar_t*>(record + sizeof(JOB_INFO_2W));
        std::memcpy(strings, kUser, sizeof kUser);
        std::memcpy(strings + sizeof kUser / sizeof(wchar_t), kDocument, sizeof kDocument);
        info->pUserName = strings;
        info->pDocument = strings + sizeof kUser / sizeof(wchar_t);
        info->JobId = jobId;
        return TRUE;
    }
    BOOL setJob(HANDLE printer, DWORD, DWORD, LPBYTE, DWORD command) override {
        if (command == JOB_CONTROL_DELETE) ++deleted_[reinterpret_cast<uintptr_t>(printer) - 1];
        return TRUE;
    }
    BOOL closePrinter(HANDLE) override { return TRUE; }

private:
    std::vector<std::atomic<size_t>> deleted_;
};

// Counts the events the monitor writes; keeps none.
class CountingEventLog : public EventLogWriter {
public:
    CountingEventLog() { setEventLog(this); }
    ~CountingEventLog() override { setEventLog(nullptr); }
    void reportError(const std::wstring&, DWORD, const std::wstring&) override { ++events; }
    std::atomic<size_t> events{0};
};

// The monitor as the spooler starts it, its ports where the spooler keeps them.
class SoakMonitor {
public:
    SoakMonitor() { table_ = InitializePrintMonitor2(&init_, &handle_); }
    ~SoakMonitor() { table_->pfnShutdown(handle_); }
    SoakMonitor(const SoakMonitor&) = delete;
    SoakMonitor& operator=(const SoakMonitor&) = delete;
    HANDLE handle() const { return handle_; }
    const MONITOR2& table() const { return *table_; }
    PortStore store() const { return PortStore(*static_cast<MonitorHandle*>(handle_)); }

private:
    MONITORINIT init_{};
    HANDLE handle_ = nullptr;
    LPMONITOR2 table_ = nullptr;
};

// The bytes every job takes its data from, at an offset of its own.
const std::vector<char>& jobBytes() {
    static const std::vector<char> bytes = [] {
        std::vector<char> data(2 * kLargestJob);
        uint32_t state = 2463534242u;
        for (char& byte : data) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            byte = static_cast<char>(state);
        }
        return data;
    }();
    return bytes;
}

// What a job meets at the server, one job in ten a fault.
enum class Fault { None, Refuse, CloseDuringData, Silent, Restart };

struct JobCase {
    Fault fault = Fault::None;
    FaultStep step = FaultStep::JobCommand;
};

constexpr size_t kWrongOutcomesKept = 10;

const char* faultName(const JobCase& jobCase) {
    switch (jobCase.fault) {
    case Fault::Refuse: return "refusal";
    case Fault::CloseDuringData: return "close during the data";
    case Fault::Silent: return "silence";
    case Fault::Restart: return "restarted server";
    default: return "no fault";
    }
}

JobCase jobCaseFor(size_t job) {
    static const JobCase kFaults[] = {
        {Fault::Refuse, FaultStep::JobCommand},         {Fault::Refuse, FaultStep::ControlFileCommand},
        {Fault::Refuse, FaultStep::ControlFileText},    {Fault::Refuse, FaultStep::DataFileCommand},
        {Fault::Refuse, FaultStep::AfterChunk},         {Fault::Refuse, FaultStep::EndOfData},
        {Fault::CloseDuringData, FaultStep::AfterChunk}, {Fault::Silent, FaultStep::JobCommand},
        {Fault::Restart, FaultStep::JobCommand},
    };
    if (job % 10 != 9) return {};
    return kFaults[(job / 10) % std::size(kFaults)];
}

// One port and its own print server, driven by one thread as the spooler
// drives a port: one job after the other.
class PortWorker {
public:
    PortWorker(size_t index, const SoakMonitor& monitor, SoakJobCalls& jobCalls, MonitorSoakResult& result,
               std::mutex& resultMutex)
        : index_(index),
          name_(L"QRXSOAK" + std::to_wstring(index) + L":"),
          monitor_(monitor),
          jobCalls_(jobCalls),
          result_(result),
          resultMutex_(resultMutex) {
        const PortStore store = monitor_.store();
        store.createPortKey(name_);
        store.writePortValue(name_, L"Host", std::wstring(L"127.0.0.1"));
        store.writePortValue(name_, L"Printer", std::wstring(L"PRT1"));
        store.writePortValue(name_, L"Unattended", DWORD{1});
        // Every fault ends its job at once, as the counts expect.
        store.writePortValue(name_, L"RetryMinutes", DWORD{0});
        startServer();
        const auto& [identifier, code] = *LPDErrorMap().entries().begin();
        refusal_ = std::string(identifier.begin(), identifier.end()) + " the soak refuses this job";
        refusalCode_ = code;
    }
    ~PortWorker() {
        server_.reset();
        try {
            monitor_.store().deletePortKey(name_);
        } catch (...) {
        }
    }

    // Prints jobs first to first + count - 1 of the port's share.
    void print(size_t first, size_t count) {
        for (size_t job = first; job < first + count; ++job) printOne(job);
    }

private:
    void startServer() {
        refserver::ServerOptions options;
        options.keepRecords = false;
        options.keepWireBytes = 0;
        options.maxConnections = 2;
        options.onJob = [this](const refserver::ReceivedJob& job) {
            receivedChecksum_ = job.checksum;
            receivedBytes_ = job.dataBytes;
        };
        server_.reset();
        server_ = std::make_unique<refserver::ReferenceServer>(options);
        serverJobs_ = 0;
        monitor_.store().writePortValue(name_, L"Port", std::to_wstring(server_->port()));
    }

    void printOne(size_t job) {
        const JobCase jobCase = jobCaseFor(job);
        if (jobCase.fault == Fault::Restart) startServer();
        switch (jobCase.fault) {
        case Fault::Refuse: server_->setFaultPlan(FaultPlan::refuse(jobCase.step, refusal_)); break;
        case Fault::CloseDuringData: server_->setFaultPlan(FaultPlan::close(jobCase.step)); break;
        case Fault::Silent: server_->setFaultPlan(FaultPlan::silent(jobCase.step)); break;
        default: server_->clearFaultPlan(); break;
        }
        const bool faulty = jobCase.fault != Fault::None && jobCase.fault != Fault::Restart;

        const size_t size = kJobSizes[(job * 7 + index_) % std::size(kJobSizes)];
        const char* data = jobBytes().data() + (job * 4093 + index_ * 131) % (jobBytes().size() - size);
        const size_t deletedBefore = jobCalls_.deleted(index_);
        const DWORD code = printJob(static_cast<DWORD>(index_ * kJobIdsPerPort + job % kJobIdsPerPort + 1), data,
                                    size, jobCase.fault == Fault::Silent);

        bool wrong = false;
        bool mismatch = false;
        if (code == ERROR_SUCCESS) {
            wrong = faulty;
            if (!faulty) {
                ++serverJobs_;
                refserver::Fnv1a64 expected;
                expected.add(data, size);
                mismatch = !server_->waitForJobs(serverJobs_, std::chrono::seconds(10)) ||
                           receivedBytes_ != size || receivedChecksum_ != expected.value();
            }
        } else {
            wrong = !faulty || !expectedFailure(jobCase.fault, code);
        }
        std::lock_guard<std::mutex> lock(resultMutex_);
        (code == ERROR_SUCCESS ? result_.jobsPrinted : result_.jobsFailed)++;
        if (wrong && ++result_.wrongOutcomes <= kWrongOutcomesKept)
            result_.firstWrongOutcomes.push_back({faultName(jobCase), code});
        if (mismatch) ++result_.byteMismatches;
        if (jobCalls_.deleted(index_) != deletedBefore + 1) ++result_.jobsNotDeleted;
    }

    bool expectedFailure(Fault fault, DWORD code) const {
        switch (fault) {
        case Fault::Refuse: return code == refusalCode_;
        case Fault::CloseDuringData:
            return code == ERROR_INVALID_PRINTER_STATE || code == WSAECONNRESET || code == WSAECONNABORTED;
        case Fault::Silent: return code == WSAETIMEDOUT;
        default: return false;
        }
    }

    // The spooler's calls for one job; the last error of the first failure, or 0.
    DWORD printJob(DWORD jobId, const char* data, size_t size, bool quickLimits) {
        const MONITOR2& table = monitor_.table();
        HANDLE port = nullptr;
        if (!table.pfnOpenPort(monitor_.handle(), const_cast<LPWSTR>(name_.c_str()), &port)) return GetLastError();
        if (quickLimits) {
            // A silent server is given up on after 300 ms instead of 300 s;
            // only then, so that a loaded machine fails no other job.
            LpdLimits limits;
            limits.acknowledgement = std::chrono::milliseconds(300);
            limits.messageSilence = std::chrono::milliseconds(300);
            static_cast<Port*>(port)->setLimits(limits);
        }
        DWORD code = ERROR_SUCCESS;
        std::wstring printer = SoakJobCalls::printerName(index_);
        DOC_INFO_1W document{const_cast<LPWSTR>(L"soak"), nullptr, nullptr};
        if (!table.pfnStartDocPort(port, printer.data(), jobId, 1, reinterpret_cast<LPBYTE>(&document))) {
            code = GetLastError();
        } else {
            for (size_t at = 0; at < size && code == ERROR_SUCCESS; at += kChunkBytes) {
                DWORD written = 0;
                const DWORD count = static_cast<DWORD>(std::min(kChunkBytes, size - at));
                if (!table.pfnWritePort(port, reinterpret_cast<LPBYTE>(const_cast<char*>(data + at)), count, &written))
                    code = GetLastError();
            }
            if (code == ERROR_SUCCESS && !table.pfnEndDocPort(port)) code = GetLastError();
        }
        table.pfnClosePort(port);
        return code;
    }

    size_t index_;
    std::wstring name_;
    const SoakMonitor& monitor_;
    SoakJobCalls& jobCalls_;
    MonitorSoakResult& result_;
    std::mutex& resultMutex_;
    std::unique_ptr<refserver::ReferenceServer> server_;
    size_t serverJobs_ = 0;
    std::atomic<uint64_t> receivedChecksum_{0};
    std::atomic<uint64_t> receivedBytes_{0};
    std::string refusal_;
    DWORD refusalCode_ = 0;
};

// Transceive commands on channels opened and closed as the UI library does,
// against a printer-list server that refuses every third query.
class XcvWorker {
public:
    XcvWorker(const SoakMonitor& monitor, MonitorSoakResult& result, std::mutex& resultMutex)
        : monitor_(monitor), result_(result), resultMutex_(resultMutex) {
        refserver::ServerOptions options;
        options.keepRecords = false;
        options.keepWireBytes = 0;
        options.printers = {{L"PRT1", L"Room 1", L"First"}, {L"PRT2", L"Room 2", L"Second"}};
        listServer_ = std::make_unique<refserver::ReferenceServer>(options);
        listAddress_ = L"127.0.0.1\\" + std::to_wstring(listServer_->port());
    }
    // A run that ends in the middle of a cycle leaves its port behind.
    ~XcvWorker() {
        for (size_t port = 0; port < kPorts; ++port) {
            try {
                monitor_.store().deletePortKey(portName(port));
            } catch (...) {
            }
        }
    }

    void run(size_t first, size_t count) {
        HANDLE channel = nullptr;
        for (size_t command = first; command < first + count; ++command) {
            if (!channel) monitor_.table().pfnXcvOpenPort(monitor_.handle(), L"", SERVER_ACCESS_ADMINISTER, &channel);
            const bool asExpected = runOne(channel, command);
            std::lock_guard<std::mutex> lock(resultMutex_);
            ++result_.xcvCommands;
            if (!asExpected) ++result_.xcvUnexpected;
            if (command % 50 == 49) {
                monitor_.table().pfnXcvClosePort(channel);
                channel = nullptr;
            }
        }
        if (channel) monitor_.table().pfnXcvClosePort(channel);
    }

private:
    // One command of a cycle that adds a port, sets and reads it, asks
    // whether it exists and for the printer list, and deletes it again.
    bool runOne(HANDLE channel, size_t command) {
        const size_t round = command / std::size(kSteps);
        const std::wstring port = portName(round % kPorts);
        const Step& step = kSteps[command % std::size(kSteps)];
        const bool refused = step.input == Input::List && round % 3 == 2;
        std::wstring input = step.input == Input::Port ? port
                             : step.input == Input::List ? listAddress_
                                                         : port + L"\\" + step.value;
        if (refused) listServer_->setFaultPlan(FaultPlan::refuse(FaultStep::QueueQuery, "VAV0001E no list now"));
        DWORD needed = 0;
        const DWORD status = call(channel, step.name, input, nullptr, 0, &needed);
        if (refused) return status != ERROR_SUCCESS;
        if (!step.answers) return status == step.status;
        if (status != ERROR_INSUFFICIENT_BUFFER) return false;
        answer_.resize(std::max<size_t>(needed, 4));
        return call(channel, step.name, input, answer_.data(), static_cast<DWORD>(answer_.size()), &needed) ==
               ERROR_SUCCESS;
    }

    DWORD call(HANDLE channel, const wchar_t* name, const std::wstring& input, BYTE* output, DWORD size,
               DWORD* needed) {
        return monitor_.table().pfnXcvDataPort(channel, name,
                                               reinterpret_cast<BYTE*>(const_cast<wchar_t*>(input.c_str())),
                                               static_cast<DWORD>((input.size() + 1) * sizeof(wchar_t)), output,
                                               size, needed);
    }

    static constexpr size_t kPorts = 4;
    static std::wstring portName(size_t port) { return L"QRXSOAKX" + std::to_wstring(port) + L":"; }

    enum class Input { Port, PortAndValue, List };
    // A command with an answer is sized first, then copied; one without
    // must end with its status.
    struct Step {
        const wchar_t* name;
        Input input;
        const wchar_t* value;
        bool answers;
        DWORD status;
    };
    static constexpr Step kSteps[] = {
        {L"AddPort", Input::Port, nullptr, false, ERROR_SUCCESS},
        {L"SetHostName", Input::PortAndValue, L"127.0.0.1", false, ERROR_SUCCESS},
        {L"SetPortNo", Input::PortAndValue, L"515", false, ERROR_SUCCESS},
        {L"SetPrinterName", Input::PortAndValue, L"PRT1", false, ERROR_SUCCESS},
        {L"SetName", Input::PortAndValue, L"Ann O'Hara", false, ERROR_SUCCESS},
        {L"SetAddress", Input::PortAndValue, L"Main St 1\nSpringfield\n\n", false, ERROR_SUCCESS},
        {L"SetUnattendedFlag", Input::PortAndValue, L"true", false, ERROR_SUCCESS},
        {L"SetPromptFlag", Input::PortAndValue, L"false", false, ERROR_SUCCESS},
        {L"GetHostName", Input::Port, nullptr, true, ERROR_SUCCESS},
        {L"GetName", Input::Port, nullptr, true, ERROR_SUCCESS},
        {L"GetAddress", Input::Port, nullptr, true, ERROR_SUCCESS},
        {L"GetUnattendedFlag", Input::Port, nullptr, true, ERROR_SUCCESS},
        {L"GetPropmtFlag", Input::Port, nullptr, true, ERROR_SUCCESS},
        {L"PortExists", Input::Port, nullptr, false, IDS_PORT_EXISTS},
        {L"GetPrinterList", Input::List, nullptr, true, ERROR_SUCCESS},
        {L"MonitorUI", Input::Port, nullptr, true, ERROR_SUCCESS},
        {L"DeletePort", Input::Port, nullptr, false, ERROR_SUCCESS},
    };

    const SoakMonitor& monitor_;
    MonitorSoakResult& result_;
    std::mutex& resultMutex_;
    std::unique_ptr<refserver::ReferenceServer> listServer_;
    std::wstring listAddress_;
    std::vector<BYTE> answer_;
};

// Port listings at both levels, each a sizing call and a filling call.
class EnumPortsWorker {
public:
    EnumPortsWorker(const SoakMonitor& monitor, MonitorSoakResult& result, std::mutex& resultMutex)
        : monitor_(monitor), result_(result), resultMutex_(resultMutex) {}

    void run(size_t first, size_t count) {
        for (size_t call = first; call < first + count; ++call) {
            const DWORD level = call % 2 ? 2 : 1;
            DWORD needed = 0;
            DWORD returned = 0;
            monitor_.table().pfnEnumPorts(monitor_.handle(), nullptr, level, nullptr, 0, &needed, &returned);
            // Ports added between the two calls need a larger buffer: asked
            // again, as the spooler asks.
            BOOL listed = FALSE;
            for (int attempt = 0; attempt < kAttempts && !listed; ++attempt) {
                if (buffer_.size() < needed) buffer_.resize(needed);
                listed = monitor_.table().pfnEnumPorts(monitor_.handle(), nullptr, level, buffer_.data(),
                                                       static_cast<DWORD>(buffer_.size()), &needed, &returned);
                if (!listed && GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
            }
            std::lock_guard<std::mutex> lock(resultMutex_);
            ++result_.enumPortsCalls;
            if (!listed) ++result_.enumPortsFailures;
        }
    }

private:
    static constexpr int kAttempts = 8;
    const SoakMonitor& monitor_;
    MonitorSoakResult& result_;
    std::mutex& resultMutex_;
    std::vector<BYTE> buffer_;
};

// The part of a total that falls to one slice (and one worker of several).
struct Share {
    size_t first;
    size_t count;
};
Share shareOf(size_t total, size_t parts, size_t part) {
    const size_t base = total / parts;
    const size_t extra = total % parts;
    return {part * base + std::min(part, extra), base + (part < extra ? 1 : 0)};
}

}  // namespace

MonitorSoakResult runMonitorSoak(const MonitorSoakPlan& plan,
                                 const std::function<void(size_t, const ResourceCounts&)>& onCheckpoint) {
    MonitorSoakResult result;
    const InstalledMonitorHeld installedMonitor;
    std::mutex resultMutex;
    CountingEventLog eventLog;
    SoakJobCalls jobCalls(plan.ports);
    SoakMonitor monitor;

    // Slice 0 is the warm-up, a tenth of the run; slices 1 to N share the rest.
    // On a loaded machine the jobs of the ports overlap more, and the heap's
    // peak was seen reached only after a twentieth of the run.
    const auto sliceShare = [&](size_t total, int slice) {
        const size_t warmUp = std::max<size_t>(total / 10, total ? 1 : 0);
        if (slice == 0) return Share{0, std::min(warmUp, total)};
        const Share rest = shareOf(total - std::min(warmUp, total), plan.slices, static_cast<size_t>(slice - 1));
        return Share{rest.first + std::min(warmUp, total), rest.count};
    };

    std::vector<std::unique_ptr<PortWorker>> ports;
    for (size_t port = 0; port < plan.ports; ++port)
        ports.push_back(std::make_unique<PortWorker>(port, monitor, jobCalls, result, resultMutex));
    XcvWorker xcv(monitor, result, resultMutex);
    EnumPortsWorker enumPorts(monitor, result, resultMutex);

    std::vector<std::function<void(int)>> works;
    for (size_t port = 0; port < plan.ports; ++port)
        works.push_back([&, port](int slice) {
            const Share all = sliceShare(plan.jobs, slice);
            const Share mine = shareOf(all.count, plan.ports, port);
            ports[port]->print(all.first + mine.first, mine.count);
        });
    works.push_back([&](int slice) {
        const Share share = sliceShare(plan.xcvCommands, slice);
        xcv.run(share.first, share.count);
    });
    works.push_back([&](int slice) {
        const Share share = sliceShare(plan.enumPortsCalls, slice);
        enumPorts.run(share.first, share.count);
    });
    {
        SliceGate gate(std::move(works));
        for (int slice = 0; slice <= static_cast<int>(plan.slices); ++slice) {
            gate.run(slice);
            result.checkpoints.push_back(takeCounts());
            onCheckpoint(result.checkpoints.size() - 1, result.checkpoints.back());
        }
    }
    return result;
}
