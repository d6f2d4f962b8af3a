#include "MonitorRegistration.h"

#include "FailedCall.h"
#include "PortKeys.h"
#include "RegistryTree.h"

#include <windows.h>
#include <winspool.h>

#include <set>

namespace {

constexpr const wchar_t* kAsking = L"Asking the spooler for the printers on the monitor's ports";

// The records of one spooler enumeration (a sizing call, then the copy), kept
// in the buffer that also holds the strings they point to.
template <class Record>
class SpoolerRecords {
public:
    template <class Enumerate>
    SpoolerRecords(const wchar_t* call, Enumerate enumerateInto) {
        DWORD needed = 0;
        if (enumerateInto(nullptr, 0, &needed, &count_)) return;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) throwFailed(kAsking, call, GetLastError());
        buffer_.resize(needed);
        if (!enumerateInto(buffer_.data(), needed, &needed, &count_)) throwFailed(kAsking, call, GetLastError());
    }
    const Record* begin() const { return reinterpret_cast<const Record*>(buffer_.data()); }
    const Record* end() const { return begin() + count_; }

private:
    std::vector<BYTE> buffer_;
    DWORD count_ = 0;
};

// Port names compare as the spooler compares them: without regard to case.
struct NoCase {
    bool operator()(const std::wstring& a, const std::wstring& b) const { return _wcsicmp(a.c_str(), b.c_str()) < 0; }
};

std::set<std::wstring, NoCase> monitorPorts() {
    std::set<std::wstring, NoCase> ports;
    SpoolerRecords<PORT_INFO_2W> listed(L"EnumPortsW", [](BYTE* to, DWORD size, DWORD* needed, DWORD* count) {
        return EnumPortsW(nullptr, 2, to, size, needed, count);
    });
    for (const PORT_INFO_2W& port : listed)
        if (port.pMonitorName && _wcsicmp(port.pMonitorName, kMonitorName) == 0) ports.insert(port.pPortName);
    return ports;
}

// A printer may print to several ports: "A:,B:".
std::vector<std::wstring> splitPortList(const std::wstring& list) {
    std::vector<std::wstring> ports;
    for (size_t start = 0; start <= list.size();) {
        size_t end = list.find(L',', start);
        if (end == std::wstring::npos) end = list.size();
        std::wstring port = list.substr(start, end - start);
        port.erase(0, port.find_first_not_of(L' '));
        port.erase(port.find_last_not_of(L' ') + 1);
        if (!port.empty()) ports.push_back(port);
        start = end + 1;
    }
    return ports;
}

}  // namespace

namespace monitorRegistration {

bool add() {
    MONITOR_INFO_2W info{};
    info.pName = const_cast<LPWSTR>(kMonitorName);
    info.pDLLName = const_cast<LPWSTR>(kMonitorDll);
    if (AddMonitorW(nullptr, 2, reinterpret_cast<LPBYTE>(&info))) return true;
    if (GetLastError() == ERROR_PRINT_MONITOR_ALREADY_INSTALLED) return false;
    throwFailed(L"Registering the monitor \"" + std::wstring(kMonitorName) + L"\" with the spooler", L"AddMonitorW",
                GetLastError());
}

bool remove() {
    if (DeleteMonitorW(nullptr, nullptr, const_cast<LPWSTR>(kMonitorName))) return true;
    if (GetLastError() == ERROR_UNKNOWN_PRINT_MONITOR) return false;
    throwFailed(L"Removing the registration of the monitor \"" + std::wstring(kMonitorName) + L"\"", L"DeleteMonitorW",
                GetLastError());
}

std::wstring savedState() {
    auto tree = RegistryTree::read(HKEY_LOCAL_MACHINE, kMonitorRootPath);
    return tree ? tree->text() : L"";
}

void restore(const std::wstring& saved) {
    if (saved.empty()) return;
    const RegistryTree tree = RegistryTree::fromText(saved);
    add();
    tree.write(HKEY_LOCAL_MACHINE, kMonitorRootPath);
}

std::vector<std::wstring> printersOnItsPorts() {
    const auto ports = monitorPorts();
    std::vector<std::wstring> printers;
    if (ports.empty()) return printers;
    SpoolerRecords<PRINTER_INFO_5W> listed(L"EnumPrintersW", [](BYTE* to, DWORD size, DWORD* needed, DWORD* count) {
        return EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 5, to, size, needed, count);
    });
    for (const PRINTER_INFO_5W& printer : listed)
        for (const std::wstring& port : splitPortList(printer.pPortName ? printer.pPortName : L""))
            if (ports.count(port)) printers.push_back(std::wstring(printer.pPrinterName) + L" (" + port + L")");
    return printers;
}

}  // namespace monitorRegistration
