// The one seam between the monitor and the spooler's job functions. The
// default calls the spooler; tests replace it where Wine's spooler cannot
// serve (its SetJobW at level 2 fails or crashes) or to inject faults.
#pragma once

#include <windows.h>
#include <winspool.h>

class SpoolerJobCalls {
public:
    virtual ~SpoolerJobCalls() = default;
    virtual BOOL openPrinter(LPWSTR printerName, LPHANDLE printer) = 0;
    virtual BOOL getJob(HANDLE printer, DWORD jobId, DWORD level, LPBYTE record, DWORD size, LPDWORD needed) = 0;
    virtual BOOL setJob(HANDLE printer, DWORD jobId, DWORD level, LPBYTE record, DWORD command) = 0;
    virtual BOOL closePrinter(HANDLE printer) = 0;
};

SpoolerJobCalls& spoolerJobCalls();
// Replaces the calls; nullptr puts the spooler's back.
void setSpoolerJobCalls(SpoolerJobCalls* calls);
