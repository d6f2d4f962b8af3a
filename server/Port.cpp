#include "Port.h"

#include "ErrorBuilders.h"
#include "EventIds.h"
#include "JobAttributes.h"
#include "PortStore.h"
#include "PromptLauncher.h"
#include "PromptedOptions.h"
#include "RuntimeError.h"
#include "TextCodec.h"

#include <winsock2.h>

Port::Port(std::wstring portName, MonitorHandle& monitor) : portName_(std::move(portName)), monitor_(monitor) {}

namespace {

// How often the spooler is asked to send one job again after its connection broke.
constexpr unsigned kRestartsPerJob = 3;
// How long a port that closes, or a monitor that shuts down, gives a waiting
// job to notice.
constexpr DWORD kStopMilliseconds = 5000;

// Until the condition holds or the limit is up.
template <class Condition>
void waitBriefly(Condition done) {
    for (DWORD waited = 0; !done() && waited < kStopMilliseconds; waited += 10) Sleep(10);
}

// Marks a wait for the server on the port and the monitor while it lasts.
class WaitInProgress {
public:
    WaitInProgress(std::atomic<bool>& port, std::atomic<int>& monitor) : port_(port), monitor_(monitor) {
        port_ = true;
        ++monitor_;
    }
    ~WaitInProgress() {
        port_ = false;
        --monitor_;
    }
    WaitInProgress(const WaitInProgress&) = delete;
    WaitInProgress& operator=(const WaitInProgress&) = delete;

private:
    std::atomic<bool>& port_;
    std::atomic<int>& monitor_;
};

}  // namespace

Port::~Port() {
    stopWaiting();
    waitBriefly([this] { return !waiting_; });
    job_.reset();
    connection_.reset();
}

void stopWaitingJobs(MonitorHandle& monitor) {
    SetEvent(monitor.stopping.get());
    waitBriefly([&monitor] { return monitor.waits == 0; });
}

namespace {

std::wstring localHostName() {
    char name[1024] = {};
    if (gethostname(name, sizeof name) != 0) return {};
    name[sizeof name - 1] = '\0';
    return fromAnsi(name);
}

// Who prints when there is no spooler job to ask: the identity the call runs under.
std::wstring callingUser() {
    wchar_t name[257] = {};
    DWORD length = 257;
    return GetUserNameW(name, &length) ? name : L"";
}

const wchar_t* documentNameOf(DWORD level, const BYTE* documentInfo) {
    if (!documentInfo || level < 1 || level > 3) return nullptr;
    // DOC_INFO_1, _2 and _3 all begin with pDocName.
    return reinterpret_cast<const DOC_INFO_1W*>(documentInfo)->pDocName;
}

}  // namespace

PortConfiguration Port::loadWithPrompt() {
    PortStore store(monitor_);
    PortConfiguration port = store.loadPort(portName_);
    unattended_ = port.settings.unattended;
    if (port.options.promptFlag)
        takePromptAnswers(launchPromptApplication(promptProgram_, portName_), promptProgram_, port, store);
    return port;
}

template <class Step>
auto Port::abandoningOnFailure(Cleanup order, Step&& step) -> decltype(step()) {
    try {
        return step();
    } catch (const RuntimeError& error) {
        abandonJob(error.message(), order);
        throw;
    } catch (...) {
        abandonJob(L"", order);
        throw;
    }
}

bool Port::startDocument(const wchar_t* printerName, DWORD jobId, DWORD level, const BYTE* documentInfo) {
    return abandoningOnFailure(Cleanup::ConnectionFirst, [&] {
        // Without a printer name (Wine's spooler) there is no spooler job to
        // open: the document's own record and the caller's identity stand in.
        std::unique_ptr<SpoolerJob> job;
        if (printerName) job = std::make_unique<SpoolerJob>(printerName, jobId);
        job_ = std::move(job);
        droppingRestartedPass_ = false;
        if (!job_ || jobId != restartedJob_) restarts_ = 0;

        PortConfiguration port = loadWithPrompt();
        if (const wchar_t* name = documentNameOf(level, documentInfo)) documentName_ = name;
        else if (level >= 1 && level <= 3) documentName_.clear();

        // A spooler job names its owner, or none; the caller's identity would
        // name the spooler service's account.
        std::wstring user = job_ ? job_->user() : callingUser();
        std::wstring document = job_ ? job_->document() : documentName_;
        ControlFile controlFile =
            ControlFile::build(localHostName(), user, buildJobAttributes(port.options), document);

        if (!startOnServer(std::move(port), controlFile)) {
            // Stopped while waiting: the job stays for the spooler's next pass.
            if (job_) job_->keepInQueue();
            job_.reset();
            return false;
        }
        documentInProgress_ = 1;
        return true;
    });
}

bool Port::startOnServer(PortConfiguration port, const ControlFile& controlFile) {
    retryMinutes_ = port.settings.retryMinutes;
    ServerWait wait(retryMinutes_, {stopping_.get(), monitor_.stopping.get()});
    for (;;) {
        try {
            connection_ = std::make_unique<LpdClient>(port.settings.printerName, port.settings.hostName,
                                                      port.settings.portNumber, limits_, portName_);
            connection_->startJob(controlFile);
            if (wait.waited()) {
                jobPrintedAfterWaiting(wait.secondsWaited(), connection_->jobPlace())
                    .reportEvent(EVENT_SERVER_SYSTEM_ERROR);
                showStatus(0, L"");
            }
            return true;
        } catch (const ConnectionError& error) {
            connection_.reset();
            if (!wait.allowed()) throw;
            if (wait.timeOver()) throw jobWaitOver(wait.minutes(), error);
            if (!wait.waited()) jobWaiting(wait.minutes(), error).reportEvent(EVENT_SERVER_SYSTEM_ERROR);
            showStatus(JOB_STATUS_OFFLINE, jobWaitingStatus(port.settings.hostName, port.settings.portNumber, error));
            if (!pauseWhileQueued(wait, error)) return false;
            // An administrator may correct the port while its job waits.
            port = PortStore(monitor_).loadPort(portName_);
        }
    }
}

bool Port::pauseWhileQueued(ServerWait& wait, const RuntimeError& error) {
    WaitInProgress marked(waiting_, monitor_.waits);
    for (;;) {
        if (!wait.pauseBeforeTry()) return false;
        if (!job_) return true;
        DWORD status = 0;
        try {
            status = job_->queueStatus();
        } catch (const RuntimeError&) {
            status = JOB_STATUS_DELETED;
        }
        if (status & (JOB_STATUS_DELETING | JOB_STATUS_DELETED)) throw error;
        if (!(status & JOB_STATUS_PAUSED)) return true;
        wait.heldDuringPause();
    }
}

void Port::showStatus(DWORD status, const std::wstring& text) {
    if (!job_) return;
    try {
        job_->setStatus(status, text);
    } catch (const RuntimeError&) {
        // The queue then shows no reason; the job goes on all the same.
    }
}

bool Port::restartJob(const RuntimeError& error) {
    if (!job_ || retryMinutes_ == 0 || restarts_ >= kRestartsPerJob) return false;
    if (!job_->restart()) return false;
    ++restarts_;
    restartedJob_ = job_->id();
    jobRestarted(restarts_, kRestartsPerJob, error).reportEvent(EVENT_SERVER_SYSTEM_ERROR);
    job_->keepInQueue();
    job_.reset();
    connection_.reset();
    droppingRestartedPass_ = true;
    return true;
}

bool Port::write(const BYTE* data, DWORD count) {
    if (!documentInProgress_) return false;
    if (droppingRestartedPass_) return true;
    // After a finished job there is nothing to send to.
    if (!connection_) return false;
    // A chunk of length 0 would end the job's data on the wire.
    if (count == 0) return true;
    abandoningOnFailure(Cleanup::JobFirst, [&] {
        try {
            connection_->sendChunk(data, count);
        } catch (const ConnectionError& error) {
            if (!restartJob(error)) throw;
        }
    });
    return true;
}

bool Port::endDocument() {
    if (!documentInProgress_) return false;
    abandoningOnFailure(Cleanup::JobFirst, [&] {
        try {
            if (connection_) connection_->finishJob();
        } catch (const ConnectionError& error) {
            if (!restartJob(error)) throw;
        }
        job_.reset();
        connection_.reset();
    });
    return true;
}

void Port::abandonJob(const std::wstring& statusText, Cleanup order) {
    documentInProgress_ = 0;
    if (job_) {
        try {
            job_->setStatus(JOB_STATUS_ERROR, statusText);
        } catch (const RuntimeError& statusError) {
            // The job's own error is what the caller must hear of; this one is logged.
            statusError.reportEvent(EVENT_SERVER_SYSTEM_ERROR);
        } catch (...) {
        }
    }
    if (order == Cleanup::ConnectionFirst) {
        connection_.reset();
        job_.reset();
    } else {
        job_.reset();
        connection_.reset();
    }
}
