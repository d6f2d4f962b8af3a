#include "MonitorRegistration.h"

#include "FailedCall.h"
#include "PortKeys.h"
#include "RegistryKey.h"
#include "RegistryTree.h"
#include "SpoolerService.h"

#include <windows.h>
#include <winspool.h>

#include <optional>
#include <set>
#include <utility>

namespace {

constexpr const wchar_t* kAsking = L"Asking the spooler for the printers on the monitor's ports";
constexpr const wchar_t* kReadingPrinters = L"Reading the printers on the monitor's ports from the registry key ";
// Where the spooler keeps each local printer, with its ports in the value "Port".
constexpr const wchar_t* kPrintersPath = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
// The longest value read of a printer's port list; the spooler's own limit on
// such a list is far below it.
constexpr DWORD kLongestPortList = 65536;

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

// The monitor's ports, and every local printer with its list of ports
// (none when the monitor has no port).
struct PortUse {
    std::set<std::wstring, NoCase> ports;
    std::vector<std::pair<std::wstring, std::wstring>> printers;
};

// As the running spooler lists them.
PortUse portUseOfSpooler() {
    PortUse use;
    SpoolerRecords<PORT_INFO_2W> ports(L"EnumPortsW", [](BYTE* to, DWORD size, DWORD* needed, DWORD* count) {
        return spoolerService().enumPorts(to, size, needed, count);
    });
    for (const PORT_INFO_2W& port : ports)
        if (port.pMonitorName && _wcsicmp(port.pMonitorName, kMonitorName) == 0) use.ports.insert(port.pPortName);
    if (use.ports.empty()) return use;
    SpoolerRecords<PRINTER_INFO_5W> printers(L"EnumPrintersW", [](BYTE* to, DWORD size, DWORD* needed,
                                                                   DWORD* count) {
        return spoolerService().enumPrinters(to, size, needed, count);
    });
    for (const PRINTER_INFO_5W& printer : printers)
        use.printers.emplace_back(printer.pPrinterName, printer.pPortName ? printer.pPortName : L"");
    return use;
}

// The key below HKEY_LOCAL_MACHINE, nullopt when it does not exist.
std::optional<RegistryKey> openForReading(const std::wstring& path) {
    LONG status = ERROR_SUCCESS;
    auto key = RegistryKey::open(HKEY_LOCAL_MACHINE, path, KEY_READ, &status);
    if (!key && status != ERROR_FILE_NOT_FOUND) throwFailed(kReadingPrinters + path, L"RegOpenKeyEx", DWORD(status));
    return key;
}

std::vector<std::wstring> subkeyNames(const std::optional<RegistryKey>& key, const std::wstring& path) {
    std::vector<std::wstring> names;
    for (DWORD index = 0; key; ++index) {
        wchar_t name[256];
        DWORD length = 256;
        LONG status = RegEnumKeyExW(key->handle(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) break;
        if (status != ERROR_SUCCESS) throwFailed(kReadingPrinters + path, L"RegEnumKeyEx", DWORD(status));
        names.emplace_back(name, length);
    }
    return names;
}

// As the registry holds them, where a stopped spooler finds them when it starts.
PortUse portUseInRegistry() {
    PortUse use;
    const std::wstring portsPath = std::wstring(kMonitorRootPath) + L"\\" + kPortsKey;
    for (const std::wstring& port : subkeyNames(openForReading(portsPath), portsPath)) use.ports.insert(port);
    if (use.ports.empty()) return use;
    for (const std::wstring& printer : subkeyNames(openForReading(kPrintersPath), kPrintersPath)) {
        // A printer deleted meanwhile has no ports.
        if (auto key = openForReading(std::wstring(kPrintersPath) + L"\\" + printer))
            use.printers.emplace_back(printer, key->readString(L"Port", kLongestPortList).value_or(L""));
    }
    return use;
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
    if (spoolerService().addMonitor(info)) return true;
    if (GetLastError() == ERROR_PRINT_MONITOR_ALREADY_INSTALLED) return false;
    throwFailed(L"Registering the monitor \"" + std::wstring(kMonitorName) + L"\" with the spooler", L"AddMonitorW",
                GetLastError());
}

bool remove() {
    if (!spoolerRunning()) {
        // The spooler reads the monitors' keys when it starts: the key is
        // the whole registration then.
        LONG status = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kMonitorRootPath);
        if (status == ERROR_FILE_NOT_FOUND) return false;
        if (status != ERROR_SUCCESS)
            throwFailed(L"Removing the registry key of the monitor \"" + std::wstring(kMonitorName) + L"\"",
                        L"RegDeleteTree", DWORD(status));
        return true;
    }
    if (spoolerService().deleteMonitor(kMonitorName)) return true;
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
    // The ports first: a spooler lists a monitor's ports once, when it loads
    // the monitor, which AddMonitorW does.
    RegistryTree::fromText(saved).write(HKEY_LOCAL_MACHINE, kMonitorRootPath);
    if (spoolerRunning()) add();
}

std::vector<std::wstring> printersOnItsPorts() {
    const PortUse use = spoolerRunning() ? portUseOfSpooler() : portUseInRegistry();
    std::vector<std::wstring> printers;
    for (const auto& [printer, portList] : use.printers)
        for (const std::wstring& port : splitPortList(portList))
            if (use.ports.count(port)) printers.push_back(printer + L" (" + port + L")");
    return printers;
}

}  // namespace monitorRegistration
