// The one seam between the setup actions (and qrx-install) and the Print
// Spooler service: its state, starting it, the pause while it starts, and
// the spooler's calls, which answer only while it runs (on Windows they fail
// with RPC_S_SERVER_UNAVAILABLE otherwise). The default asks the service
// control manager and the spooler. Tests replace it to play what Wine cannot
// show, since its spooler runs inside the calling process: a stopped, a
// disabled and a never-starting spooler, and a registration that fails.
#pragma once

#include <windows.h>
#include <winspool.h>

#include <string>

struct SpoolerStatus {
    DWORD state;    // SERVICE_RUNNING, SERVICE_STOPPED, SERVICE_START_PENDING, ...
    bool disabled;  // its start type is SERVICE_DISABLED
};

class SpoolerService {
public:
    virtual ~SpoolerService() = default;
    // Throws RuntimeError.
    virtual SpoolerStatus status() = 0;
    // Asks the service control manager to start the service; throws
    // RuntimeError, with the disabled service's message for a disabled one.
    virtual void start() = 0;
    virtual void pause(DWORD milliseconds) = 0;
    // AddMonitorW, DeleteMonitorW, EnumPortsW at level 2 and EnumPrintersW
    // of the local printers at level 5, on this machine; the error in
    // GetLastError().
    virtual BOOL addMonitor(MONITOR_INFO_2W& info) = 0;
    virtual BOOL deleteMonitor(const wchar_t* name) = 0;
    virtual BOOL enumPorts(BYTE* records, DWORD size, DWORD* needed, DWORD* count) = 0;
    virtual BOOL enumPrinters(BYTE* records, DWORD size, DWORD* needed, DWORD* count) = 0;
};

// The service control manager's and the spooler's answers, for stand-ins
// that replace some calls only.
class WindowsSpoolerService : public SpoolerService {
public:
    SpoolerStatus status() override;
    void start() override;
    void pause(DWORD milliseconds) override;
    BOOL addMonitor(MONITOR_INFO_2W& info) override;
    BOOL deleteMonitor(const wchar_t* name) override;
    BOOL enumPorts(BYTE* records, DWORD size, DWORD* needed, DWORD* count) override;
    BOOL enumPrinters(BYTE* records, DWORD size, DWORD* needed, DWORD* count) override;
};

SpoolerService& spoolerService();
// Replaces the service; nullptr puts the Windows one back.
void setSpoolerService(SpoolerService* service);

// Whether the spooler runs, so that its calls answer. Throws RuntimeError.
bool spoolerRunning();

// How long a start is waited for.
constexpr DWORD kSpoolerStartBound = 30000;

// Starts a stopped spooler and waits until it runs, at most
// kSpoolerStartBound. What it found or did, for the log. A disabled spooler,
// or one that does not start in time, throws RuntimeError with a message that
// names the Print Spooler service and says what to do.
std::wstring startSpooler();
