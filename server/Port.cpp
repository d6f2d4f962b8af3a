#include "Port.h"

#include "EventIds.h"
#include "JobAttributes.h"
#include "PortStore.h"
#include "PromptLauncher.h"
#include "PromptedOptions.h"
#include "RuntimeError.h"
#include "TextCodec.h"

#include <winsock2.h>

Port::Port(std::wstring portName, MonitorHandle& monitor) : portName_(std::move(portName)), monitor_(monitor) {}

Port::~Port() {
    job_.reset();
    connection_.reset();
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

void Port::startDocument(const wchar_t* printerName, DWORD jobId, DWORD level, const BYTE* documentInfo) {
    abandoningOnFailure(Cleanup::ConnectionFirst, [&] {
        // Without a printer name (Wine's spooler) there is no spooler job to
        // open: the document's own record and the caller's identity stand in.
        std::unique_ptr<SpoolerJob> job;
        if (printerName) job = std::make_unique<SpoolerJob>(printerName, jobId);
        job_ = std::move(job);

        PortConfiguration port = loadWithPrompt();
        if (const wchar_t* name = documentNameOf(level, documentInfo)) documentName_ = name;
        else if (level >= 1 && level <= 3) documentName_.clear();

        // A spooler job names its owner, or none; the caller's identity would
        // name the spooler service's account.
        std::wstring user = job_ ? job_->user() : callingUser();
        std::wstring document = job_ ? job_->document() : documentName_;
        ControlFile controlFile =
            ControlFile::build(localHostName(), user, buildJobAttributes(port.options), document);

        connection_ = std::make_unique<LpdClient>(port.settings.printerName, port.settings.hostName,
                                                  port.settings.portNumber, limits_, portName_);
        connection_->startJob(controlFile);
        documentInProgress_ = 1;
    });
}

bool Port::write(const BYTE* data, DWORD count) {
    if (!documentInProgress_) return false;
    // After a finished job there is nothing to send to.
    if (!connection_) return false;
    // A chunk of length 0 would end the job's data on the wire.
    if (count == 0) return true;
    abandoningOnFailure(Cleanup::JobFirst, [&] { connection_->sendChunk(data, count); });
    return true;
}

bool Port::endDocument() {
    if (!documentInProgress_) return false;
    abandoningOnFailure(Cleanup::JobFirst, [&] {
        if (connection_) connection_->finishJob();
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
