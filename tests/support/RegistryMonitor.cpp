#include "RegistryMonitor.h"

#include "OrdinaryRegistry.h"

#include <atomic>
#include <mutex>

namespace qrxtest {

namespace {

std::mutex faultsLock;
std::map<RegistryCall, LONG> pendingFaults;
std::atomic<int> keysOpen{0};

bool takeFault(RegistryCall call, LONG& status) {
    std::lock_guard<std::mutex> lock(faultsLock);
    auto fault = pendingFaults.find(call);
    if (fault == pendingFaults.end()) return false;
    status = fault->second;
    pendingFaults.erase(fault);
    return true;
}

const MONITORREG& ordinary() { return ordinaryRegistryFunctions(); }

LONG WINAPI createKey(HANDLE parent, LPCWSTR subKey, DWORD options, REGSAM access, PSECURITY_ATTRIBUTES security,
                      PHANDLE result, PDWORD disposition, HANDLE spooler) {
    LONG status;
    if (takeFault(RegistryCall::CreateKey, status)) return status;
    status = ordinary().fpCreateKey(parent, subKey, options, access, security, result, disposition, spooler);
    if (status == ERROR_SUCCESS) ++keysOpen;
    return status;
}

LONG WINAPI openKey(HANDLE parent, LPCWSTR subKey, REGSAM access, PHANDLE result, HANDLE spooler) {
    LONG status;
    if (takeFault(RegistryCall::OpenKey, status)) return status;
    status = ordinary().fpOpenKey(parent, subKey, access, result, spooler);
    if (status == ERROR_SUCCESS) ++keysOpen;
    return status;
}

LONG WINAPI closeKey(HANDLE key, HANDLE spooler) {
    --keysOpen;
    return ordinary().fpCloseKey(key, spooler);
}

LONG WINAPI deleteKey(HANDLE parent, LPCWSTR subKey, HANDLE spooler) {
    LONG status;
    if (takeFault(RegistryCall::DeleteKey, status)) return status;
    return ordinary().fpDeleteKey(parent, subKey, spooler);
}

LONG WINAPI enumKey(HANDLE key, DWORD index, LPWSTR name, PDWORD nameChars, PFILETIME written, HANDLE spooler) {
    LONG status;
    if (takeFault(RegistryCall::EnumKey, status)) return status;
    return ordinary().fpEnumKey(key, index, name, nameChars, written, spooler);
}

LONG WINAPI setValue(HANDLE key, LPCWSTR name, DWORD type, const BYTE* data, DWORD size, HANDLE spooler) {
    LONG status;
    if (takeFault(RegistryCall::SetValue, status)) return status;
    return ordinary().fpSetValue(key, name, type, data, size, spooler);
}

LONG WINAPI queryValue(HANDLE key, LPCWSTR name, PDWORD type, PBYTE data, PDWORD size, HANDLE spooler) {
    LONG status;
    if (takeFault(RegistryCall::QueryValue, status)) return status;
    return ordinary().fpQueryValue(key, name, type, data, size, spooler);
}

}  // namespace

RegistryMonitor::RegistryMonitor() {
    static std::atomic<int> serial{0};
    rootPath_ = L"Software\\QRXTest\\Monitor" + std::to_wstring(GetCurrentProcessId()) + L"-" +
                std::to_wstring(serial++);
    RegDeleteTreeW(HKEY_CURRENT_USER, rootPath_.c_str());
    RegCreateKeyExW(HKEY_CURRENT_USER, rootPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &root_, nullptr);
    registry_.cbSize = sizeof registry_;
    registry_.fpCreateKey = createKey;
    registry_.fpOpenKey = openKey;
    registry_.fpCloseKey = closeKey;
    registry_.fpDeleteKey = deleteKey;
    registry_.fpEnumKey = enumKey;
    registry_.fpSetValue = setValue;
    registry_.fpQueryValue = queryValue;
    handle_.init.cbSize = sizeof(MONITORINIT);
    handle_.init.hSpooler = reinterpret_cast<HANDLE>(0x5B00L);
    handle_.init.hckRegistryRoot = root_;
    handle_.init.pMonitorReg = &registry_;
    handle_.init.bLocal = TRUE;
    std::lock_guard<std::mutex> lock(faultsLock);
    pendingFaults.clear();
}

RegistryMonitor::~RegistryMonitor() {
    RegCloseKey(root_);
    RegDeleteTreeW(HKEY_CURRENT_USER, rootPath_.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, rootPath_.c_str());
}

void RegistryMonitor::failNext(RegistryCall call, LONG status) {
    std::lock_guard<std::mutex> lock(faultsLock);
    pendingFaults[call] = status;
}

int RegistryMonitor::openKeys() const { return keysOpen; }

}  // namespace qrxtest
