// Prints the cost of one EnumPorts call (level 2, the sizing call and the
// filling call together, as a spooler makes them) for 10, 1,000 and 10,000
// ports: called directly on the monitor's entry point over the ordinary
// registry, and through Wine's spooler when the monitor is installed there.
#include "MonitorEntry.h"
#include "OrdinaryRegistry.h"
#include "RegistryMonitor.h"
#include "TestPaths.h"

#include "ModuleState.h"

#include <windows.h>
#include <winspool.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace {

double secondsOf(const std::function<void()>& work, int repetitions) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    for (int i = 0; i < repetitions; ++i) work();
    QueryPerformanceCounter(&end);
    return double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart) / repetitions;
}

void addPorts(HKEY root, int count) {
    HKEY ports = nullptr;
    RegCreateKeyExW(root, L"Ports", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &ports, nullptr);
    for (int i = 0; i < count; ++i) {
        HKEY port = nullptr;
        RegCreateKeyExW(ports, (L"QRXBENCH" + std::to_wstring(i) + L":").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &port, nullptr);
        RegCloseKey(port);
    }
    RegCloseKey(ports);
}

void removePorts(HKEY root, int count) {
    HKEY ports = nullptr;
    if (RegOpenKeyExW(root, L"Ports", 0, KEY_ALL_ACCESS, &ports) != ERROR_SUCCESS) return;
    for (int i = 0; i < count; ++i) RegDeleteKeyW(ports, (L"QRXBENCH" + std::to_wstring(i) + L":").c_str());
    RegCloseKey(ports);
}

using EnumCall = std::function<BOOL(BYTE*, DWORD, DWORD*, DWORD*)>;

DWORD enumerateOnce(const EnumCall& call) {
    DWORD needed = 0, returned = 0;
    call(nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    call(buffer.data(), needed, &needed, &returned);
    return returned;
}

void report(const wchar_t* path, int ports, const EnumCall& call) {
    DWORD listed = enumerateOnce(call);
    int repetitions = ports >= 10000 ? 5 : ports >= 1000 ? 20 : 200;
    double seconds = secondsOf([&] { enumerateOnce(call); }, repetitions);
    std::wprintf(L"%-9ls ports %6d  listed %6lu  %10.3f ms per call  %8.2f us per port\n", path, ports, listed,
                 seconds * 1e3, seconds * 1e6 / ports);
}

bool monitorInstalled() {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMonitorRootPath, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace

int wmain() {
    HMODULE resources = LoadLibraryW(qrxtest::deliverablePath(L"QRXPM1033U.dll").c_str());
    module::setResources(resources);
    for (int ports : {10, 1000, 10000}) {
        qrxtest::RegistryMonitor registry;
        addPorts(registry.root(), ports);
        HANDLE monitor = nullptr;
        MONITORINIT init = registry.handle().init;
        LPMONITOR2 table = InitializePrintMonitor2(&init, &monitor);
        report(L"direct", ports, [&](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
            return table->pfnEnumPorts(monitor, nullptr, 2, buffer, size, needed, returned);
        });
        table->pfnShutdown(monitor);

        if (monitorInstalled()) {
            HKEY root = nullptr;
            RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMonitorRootPath, 0, KEY_ALL_ACCESS, &root);
            addPorts(root, ports);
            report(L"spooler", ports, [](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
                return EnumPortsW(nullptr, 2, buffer, size, needed, returned);
            });
            removePorts(root, ports);
            RegCloseKey(root);
        }
    }
    FreeLibrary(resources);
    return 0;
}
