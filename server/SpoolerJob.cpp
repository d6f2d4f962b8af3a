#include "SpoolerJob.h"

#include "ControlFile.h"
#include "ErrorBuilders.h"
#include "SpoolerJobCalls.h"

#include <new>

SpoolerJob::SpoolerJob(const std::wstring& printerName, DWORD jobId) : jobId_(jobId) {
    std::wstring name = printerName;
    if (!spoolerJobCalls().openPrinter(name.data(), &printer_)) {
        printer_ = nullptr;
        throwCallFailedFor(L"OpenPrinter()", printerName, GetLastError());
    }
    try {
        refresh();
    } catch (...) {
        spoolerJobCalls().closePrinter(printer_);
        throw;
    }
}

SpoolerJob::~SpoolerJob() {
    if (!keptInQueue_) spoolerJobCalls().setJob(printer_, jobId_, 0, nullptr, JOB_CONTROL_DELETE);
    spoolerJobCalls().closePrinter(printer_);
}

void SpoolerJob::refresh() {
    for (;;) {
        DWORD needed = 0;
        BOOL read = spoolerJobCalls().getJob(printer_, jobId_, 2, record_.empty() ? nullptr : record_.data(),
                                             static_cast<DWORD>(record_.size()), &needed);
        DWORD error = GetLastError();
        if (read) return;
        // A spooler that asks for more without saying how much would loop forever.
        if (error != ERROR_INSUFFICIENT_BUFFER || needed <= record_.size()) throwCallFailed(L"GetJob()", error);
        try {
            record_.resize(needed);
        } catch (const std::bad_alloc&) {
            throwCallFailed(L"realloc()", ERROR_NOT_ENOUGH_MEMORY);
        }
    }
}

std::wstring SpoolerJob::user() const {
    return record()->pUserName ? record()->pUserName : L"";
}

std::wstring SpoolerJob::document() const {
    return record()->pDocument ? record()->pDocument : L"";
}

void SpoolerJob::setStatus(DWORD status, const std::wstring& text) {
    refresh();
    std::wstring line = withoutLineBreaks(text);
    JOB_INFO_2W updated = *record();
    updated.pStatus = line.empty() ? nullptr : line.data();
    updated.Position = 0;
    updated.Status = status;
    if (!spoolerJobCalls().setJob(printer_, jobId_, 2, reinterpret_cast<LPBYTE>(&updated), 0))
        throwCallFailed(L"SetJob()", GetLastError());
}

DWORD SpoolerJob::queueStatus() {
    refresh();
    return record()->Status;
}

bool SpoolerJob::restart() {
    return spoolerJobCalls().setJob(printer_, jobId_, 0, nullptr, JOB_CONTROL_RESTART) != FALSE;
}
