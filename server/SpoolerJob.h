// The monitor's handle on one spooler job: its printer, its JOB_INFO_2
// record, its status and its removal from the queue.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

class SpoolerJob {
public:
    // Opens the printer and reads the job's record.
    SpoolerJob(const std::wstring& printerName, DWORD jobId);
    SpoolerJob(const SpoolerJob&) = delete;
    SpoolerJob& operator=(const SpoolerJob&) = delete;
    // Deletes the job from the queue and closes the printer.
    virtual ~SpoolerJob();

    void refresh();
    DWORD id() const { return jobId_; }
    std::wstring user() const;
    std::wstring document() const;
    // Marks the job with a status word and a one-line status text.
    void setStatus(DWORD status, const std::wstring& text);
    // The job's status word as the queue has it now.
    DWORD queueStatus();
    // Asks the spooler to send the job again from its beginning; false when
    // it refuses.
    bool restart();
    // The job stays in the queue when the object goes (it waits, or it is
    // sent again), instead of being deleted.
    void keepInQueue() { keptInQueue_ = true; }

private:
    const JOB_INFO_2W* record() const { return reinterpret_cast<const JOB_INFO_2W*>(record_.data()); }

    DWORD jobId_;
    std::vector<BYTE> record_;
    HANDLE printer_ = nullptr;
    bool keptInQueue_ = false;
};
