#include "SpoolerService.h"

#include "FailedCall.h"
#include "RuntimeError.h"

#include <memory>
#include <type_traits>
#include <vector>

namespace {

constexpr const wchar_t* kServiceName = L"Spooler";
constexpr const wchar_t* kAsking = L"Asking the service control manager about the Print Spooler service (Spooler)";
constexpr const wchar_t* kCheckIt = L"Check the Print Spooler service in services.msc, then run the setup again.";
constexpr DWORD kPollInterval = 250;

[[noreturn]] void throwDisabled() {
    throw RuntimeError(L"The Print Spooler service (Spooler) is disabled, and the Prentova Port Monitor cannot "
                       L"register without it. Set its startup type to Automatic (services.msc, or \"sc config "
                       L"Spooler start= auto\"), then run the setup again. Nothing was changed.",
                       ERROR_SERVICE_DISABLED);
}

struct ServiceHandleClose {
    void operator()(SC_HANDLE handle) const { CloseServiceHandle(handle); }
};
using ServiceHandle = std::unique_ptr<std::remove_pointer_t<SC_HANDLE>, ServiceHandleClose>;

// The Print Spooler service opened with the access asked for; the manager's
// handle lives as long.
class OpenSpooler {
public:
    explicit OpenSpooler(DWORD access) : manager_(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT)) {
        if (!manager_) throwFailed(kAsking, L"OpenSCManagerW", GetLastError(), kCheckIt);
        service_.reset(OpenServiceW(manager_.get(), kServiceName, access));
        if (!service_) throwFailed(kAsking, L"OpenServiceW", GetLastError(), kCheckIt);
    }
    SC_HANDLE get() const { return service_.get(); }

private:
    ServiceHandle manager_, service_;
};

}  // namespace

SpoolerStatus WindowsSpoolerService::status() {
    OpenSpooler spooler(SERVICE_QUERY_STATUS | SERVICE_QUERY_CONFIG);
    SERVICE_STATUS status{};
    if (!QueryServiceStatus(spooler.get(), &status))
        throwFailed(kAsking, L"QueryServiceStatus", GetLastError(), kCheckIt);
    DWORD needed = 0;
    QueryServiceConfigW(spooler.get(), nullptr, 0, &needed);
    std::vector<BYTE> config(needed ? needed : sizeof(QUERY_SERVICE_CONFIGW));
    if (!QueryServiceConfigW(spooler.get(), reinterpret_cast<QUERY_SERVICE_CONFIGW*>(config.data()),
                             DWORD(config.size()), &needed))
        throwFailed(kAsking, L"QueryServiceConfigW", GetLastError(), kCheckIt);
    return {status.dwCurrentState,
            reinterpret_cast<const QUERY_SERVICE_CONFIGW*>(config.data())->dwStartType == SERVICE_DISABLED};
}

void WindowsSpoolerService::start() {
    OpenSpooler spooler(SERVICE_START);
    if (StartServiceW(spooler.get(), 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING) return;
    if (GetLastError() == ERROR_SERVICE_DISABLED) throwDisabled();
    throwFailed(L"Starting the Print Spooler service (Spooler)", L"StartServiceW", GetLastError(),
                L"Start it in services.msc (or \"net start spooler\"), then run the setup again.");
}

void WindowsSpoolerService::pause(DWORD milliseconds) { Sleep(milliseconds); }

BOOL WindowsSpoolerService::addMonitor(MONITOR_INFO_2W& info) {
    return AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info));
}

BOOL WindowsSpoolerService::deleteMonitor(const wchar_t* name) {
    return DeleteMonitorW(nullptr, nullptr, const_cast<LPWSTR>(name));
}

BOOL WindowsSpoolerService::enumPorts(BYTE* records, DWORD size, DWORD* needed, DWORD* count) {
    return EnumPortsW(nullptr, 2, records, size, needed, count);
}

BOOL WindowsSpoolerService::enumPrinters(BYTE* records, DWORD size, DWORD* needed, DWORD* count) {
    return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 5, records, size, needed, count);
}

namespace {

WindowsSpoolerService windowsService;
SpoolerService* current = &windowsService;

}  // namespace

SpoolerService& spoolerService() { return *current; }

void setSpoolerService(SpoolerService* service) { current = service ? service : &windowsService; }

bool spoolerRunning() { return spoolerService().status().state == SERVICE_RUNNING; }

std::wstring startSpooler() {
    SpoolerService& service = spoolerService();
    SpoolerStatus status = service.status();
    if (status.state == SERVICE_RUNNING) return L"the Print Spooler service runs";
    if (status.disabled) throwDisabled();
    if (status.state != SERVICE_START_PENDING) service.start();
    std::wstring outcome = L"did not start within " + std::to_wstring(kSpoolerStartBound / 1000) + L" seconds";
    DWORD code = ERROR_SERVICE_REQUEST_TIMEOUT;
    for (DWORD waited = 0; waited <= kSpoolerStartBound; waited += kPollInterval) {
        if (waited) service.pause(kPollInterval);
        status = service.status();
        if (status.state == SERVICE_RUNNING)
            return L"started the Print Spooler service; it ran after " + std::to_wstring(waited) + L" ms";
        if (status.state == SERVICE_STOPPED) {
            outcome = L"stopped again while it started";
            code = ERROR_SERVICE_NOT_ACTIVE;
            break;
        }
    }
    throw RuntimeError(L"The Print Spooler service (Spooler) " + outcome +
                           L", and the Prentova Port Monitor cannot register without it. Look in the System event "
                           L"log for why, start it in services.msc (or \"net start spooler\"), then run the setup "
                           L"again.",
                       code);
}
