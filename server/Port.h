// The monitor's side of one port handle, from OpenPort to ClosePort: the
// job in progress on the port and its connection to the print server.
#pragma once

#include "LpdClient.h"
#include "MonitorHandle.h"
#include "PortStore.h"
#include "PromptLauncher.h"
#include "RuntimeError.h"
#include "ServerWait.h"
#include "SpoolerJob.h"

#include <atomic>
#include <memory>
#include <string>

// Ends the waits of every job of the monitor that waits for its server, and
// gives them a moment to notice: the spooler shuts the monitor down.
void stopWaitingJobs(MonitorHandle& monitor);

class Port {
public:
    Port(std::wstring portName, MonitorHandle& monitor);
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    // Deletes a job that never ended, then closes its connection.
    virtual ~Port();

    // Each raises on failure after cleaning up: the job marked in error and
    // removed, the connection closed. A job whose server cannot be reached
    // waits in StartDocPort; false when that wait was stopped (the port
    // closed, the monitor shut down), the job left in the queue.
    bool startDocument(const wchar_t* printerName, DWORD jobId, DWORD level, const BYTE* documentInfo);
    // False, sending nothing, when no document is in progress. A connection
    // that breaks in the job's data has the spooler send the job again: the
    // rest of this pass is then taken and dropped.
    bool write(const BYTE* data, DWORD count);
    bool endDocument();
    // Ends a wait for the server at once, from another thread.
    void stopWaiting() const { SetEvent(stopping_.get()); }

    const std::wstring& portName() const { return portName_; }
    MonitorHandle& monitor() const { return monitor_; }
    bool unattended() const { return unattended_ != 0; }
    bool documentInProgress() const { return documentInProgress_ != 0; }

    // How long the job's conversation waits for a silent server; tests shorten it.
    void setLimits(const LpdLimits& limits) { limits_ = limits; }
    // The program that asks for the options; tests put a stand-in there.
    void setPromptProgram(std::wstring path) { promptProgram_ = std::move(path); }

private:
    enum class Cleanup { ConnectionFirst, JobFirst };
    // Marks and removes the job and closes the connection after a failure.
    void abandonJob(const std::wstring& statusText, Cleanup order);
    // Runs one step of the job; a failure abandons the job and goes on up.
    template <class Step>
    auto abandoningOnFailure(Cleanup order, Step&& step) -> decltype(step());
    PortConfiguration loadWithPrompt();
    bool startOnServer(PortConfiguration port, const ControlFile& controlFile);
    // Between two tries: false when the wait was stopped; raises the
    // connection's error when the job is gone from the queue.
    bool pauseWhileQueued(ServerWait& wait, const RuntimeError& error);
    // The job's status in the queue while it waits; a failure to show it is no failure of the job.
    void showStatus(DWORD status, const std::wstring& text);
    // After a broken connection in the job's data: true when the spooler
    // sends the job again.
    bool restartJob(const RuntimeError& error);

    std::wstring documentName_;
    std::unique_ptr<LpdClient> connection_;
    BYTE documentInProgress_ = 0;
    std::wstring portName_;
    std::unique_ptr<SpoolerJob> job_;
    DWORD unattended_ = 0;
    MonitorHandle& monitor_;
    LpdLimits limits_;
    std::wstring promptProgram_ = promptProgramPath();
    DWORD retryMinutes_ = 0;
    // The job of the last pass that was sent again, and how often.
    DWORD restartedJob_ = 0;
    unsigned restarts_ = 0;
    bool droppingRestartedPass_ = false;
    OwnedHandle stopping_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> waiting_{false};
};
