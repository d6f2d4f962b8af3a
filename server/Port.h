// The monitor's side of one port handle, from OpenPort to ClosePort: the
// job in progress on the port and its connection to the print server.
#pragma once

#include "LpdClient.h"
#include "MonitorHandle.h"
#include "PortStore.h"
#include "PromptLauncher.h"
#include "SpoolerJob.h"

#include <memory>
#include <string>

class Port {
public:
    Port(std::wstring portName, MonitorHandle& monitor);
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;
    // Deletes a job that never ended, then closes its connection.
    virtual ~Port();

    // Each raises on failure after cleaning up: the job marked in error and
    // removed, the connection closed.
    void startDocument(const wchar_t* printerName, DWORD jobId, DWORD level, const BYTE* documentInfo);
    // False, sending nothing, when no document is in progress.
    bool write(const BYTE* data, DWORD count);
    bool endDocument();

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

    std::wstring documentName_;
    std::unique_ptr<LpdClient> connection_;
    BYTE documentInProgress_ = 0;
    std::wstring portName_;
    std::unique_ptr<SpoolerJob> job_;
    DWORD unattended_ = 0;
    MonitorHandle& monitor_;
    LpdLimits limits_;
    std::wstring promptProgram_ = promptProgramPath();
};
