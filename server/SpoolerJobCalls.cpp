#include "SpoolerJobCalls.h"

namespace {

class WindowsSpoolerJobCalls : public SpoolerJobCalls {
public:
    BOOL openPrinter(LPWSTR printerName, LPHANDLE printer) override {
        return OpenPrinterW(printerName, printer, nullptr);
    }
    BOOL getJob(HANDLE printer, DWORD jobId, DWORD level, LPBYTE record, DWORD size, LPDWORD needed) override {
        return GetJobW(printer, jobId, level, record, size, needed);
    }
    BOOL setJob(HANDLE printer, DWORD jobId, DWORD level, LPBYTE record, DWORD command) override {
        return SetJobW(printer, jobId, level, record, command);
    }
    BOOL closePrinter(HANDLE printer) override { return ClosePrinter(printer); }
};

WindowsSpoolerJobCalls windowsCalls;
SpoolerJobCalls* current = &windowsCalls;

}  // namespace

SpoolerJobCalls& spoolerJobCalls() { return *current; }

void setSpoolerJobCalls(SpoolerJobCalls* calls) { current = calls ? calls : &windowsCalls; }
