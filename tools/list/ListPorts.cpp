// Prints what the spooler knows of the installed monitors and their ports:
// the monitors (EnumMonitorsW level 2) and every port (EnumPortsW level 2).
#include <windows.h>
#include <winspool.h>

#include <cwchar>
#include <vector>

namespace {

template <class Enumerate>
std::vector<BYTE> enumerate(Enumerate call, DWORD& count) {
    DWORD needed = 0;
    call(nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed);
    if (!call(buffer.data(), needed, &needed, &count)) {
        std::fwprintf(stderr, L"enumeration failed: error %lu\n", GetLastError());
        count = 0;
    }
    return buffer;
}

const wchar_t* text(const wchar_t* value) { return value ? value : L""; }

}  // namespace

int wmain() {
    DWORD count = 0;
    auto monitors = enumerate(
        [](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumMonitorsW(nullptr, 2, buffer, size, needed, returned);
        },
        count);
    std::wprintf(L"Monitors:\n");
    for (DWORD i = 0; i < count; ++i) {
        const auto& info = reinterpret_cast<MONITOR_INFO_2W*>(monitors.data())[i];
        std::wprintf(L"  %-28ls %ls\n", text(info.pName), text(info.pDLLName));
    }
    auto ports = enumerate(
        [](BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned) {
            return EnumPortsW(nullptr, 2, buffer, size, needed, returned);
        },
        count);
    std::wprintf(L"Ports:\n");
    for (DWORD i = 0; i < count; ++i) {
        const auto& info = reinterpret_cast<PORT_INFO_2W*>(ports.data())[i];
        std::wprintf(L"  %-14ls %-24ls %ls\n", text(info.pPortName), text(info.pMonitorName), text(info.pDescription));
    }
    return 0;
}
