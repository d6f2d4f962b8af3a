#include "ResourceCounts.h"

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

namespace {

// Handle values are multiples of 4 from 4 up; past the last one in use
// come only free slots. GetProcessHandleCount answers 0 under Wine.
size_t probedHandles() {
    constexpr size_t kFreeRunAtEnd = 4096;
    size_t count = 0;
    size_t freeRun = 0;
    for (uintptr_t value = 4; freeRun < kFreeRunAtEnd; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            freeRun = 0;
        } else {
            ++freeRun;
        }
    }
    return count;
}

// Committed private regions of the address space: heaps (large blocks
// included), stacks and private allocations. PrivateUsage answers 0 under Wine.
size_t committedPrivateBytes() {
    size_t total = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (auto* at = reinterpret_cast<const char*>(0x10000);
         VirtualQuery(at, &region, sizeof region) == sizeof region;) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE) total += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

// The live objects of the process's GDI handle table, which the process
// environment block points to (GetGuiResources answers 0 under Wine, the
// only place this walk is used). Wine lays the table out alike for both
// architectures: cells of 24 bytes, the object's address first, the
// handle's upper half at byte 12 and its type at byte 14; a deleted
// object's cell keeps neither. A cell's handle is its index with that upper
// half. Calls visit with each live object's handle.
template <typename Visit>
void walkGdiTable(Visit visit) {
#ifdef _WIN64
    constexpr size_t kTableField = 0xF8;
#else
    constexpr size_t kTableField = 0x94;
#endif
    constexpr size_t kCellBytes = 24;
    constexpr size_t kUpperHalfByte = 12;
    constexpr size_t kTypeByte = 14;
    constexpr size_t kCells = 0x10000;
    using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryProcess>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess"));
    PROCESS_BASIC_INFORMATION basic{};
    if (!query || query(GetCurrentProcess(), ProcessBasicInformation, &basic, sizeof basic, nullptr) != 0) return;
    const BYTE* table = nullptr;
    std::memcpy(&table, reinterpret_cast<const BYTE*>(basic.PebBaseAddress) + kTableField, sizeof table);
    if (!table) return;
    for (size_t cell = 0; cell < kCells; ++cell) {
        const BYTE* entry = table + cell * kCellBytes;
        uint64_t object = 0;
        std::memcpy(&object, entry, sizeof object);
        if (!object || !entry[kTypeByte]) continue;
        uint16_t upperHalf = 0;
        std::memcpy(&upperHalf, entry + kUpperHalfByte, sizeof upperHalf);
        visit(reinterpret_cast<HGDIOBJ>(static_cast<uintptr_t>(cell | static_cast<uint32_t>(upperHalf) << 16)));
    }
}

// The walked objects by their type, GetObjectType's numbers.
std::map<unsigned long, size_t> gdiTableObjectsByType() {
    std::map<unsigned long, size_t> byType;
    walkGdiTable([&](HGDIOBJ object) { ++byType[GetObjectType(object)]; });
    return byType;
}

BOOL CALLBACK countWindow(HWND window, LPARAM count);

void countChildren(HWND parent, size_t& count) { EnumChildWindows(parent, countWindow, reinterpret_cast<LPARAM>(&count)); }

BOOL CALLBACK countWindow(HWND window, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId()) ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

BOOL CALLBACK countTopWindow(HWND window, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<size_t*>(count);
    countChildren(window, *reinterpret_cast<size_t*>(count));
    return TRUE;
}

// The process's windows, message-only ones included: the USER objects a
// dialog leaves behind when it leaks.
size_t processWindows() {
    size_t count = 0;
    EnumWindows(countTopWindow, reinterpret_cast<LPARAM>(&count));
    for (HWND window = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); window;
         window = FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr))
        countTopWindow(window, reinterpret_cast<LPARAM>(&count));
    return count;
}

}  // namespace

ResourceCounts takeCounts() {
    ResourceCounts counts;
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    counts.handles = handles ? handles : probedHandles();
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    counts.privateBytes = memory.PrivateUsage ? memory.PrivateUsage : committedPrivateBytes();
    counts.workingSet = memory.WorkingSetSize;
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (gdi) {
        counts.gdiObjects = gdi;
    } else {
        counts.gdiObjectsByType = gdiTableObjectsByType();
        for (const auto& [type, objects] : counts.gdiObjectsByType) counts.gdiObjects += objects;
    }
    counts.userObjects = user ? user : processWindows();
    return counts;
}

std::vector<std::string> blindCounts() {
    constexpr size_t kHandles = 40;
    constexpr size_t kBytes = 2 * 1024 * 1024;
    constexpr size_t kObjects = 10;
    const ResourceCounts before = takeCounts();

    std::vector<HANDLE> events;
    for (size_t i = 0; i < kHandles; ++i) events.push_back(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    std::unique_ptr<char[]> memory(new char[kBytes]);
    std::memset(memory.get(), 1, kBytes);
    std::vector<HGDIOBJ> brushes;
    std::vector<HWND> windows;
    for (size_t i = 0; i < kObjects; ++i) {
        brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
        windows.push_back(CreateWindowW(L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    }
    const ResourceCounts during = takeCounts();
    for (HWND window : windows) DestroyWindow(window);
    for (HGDIOBJ brush : brushes) DeleteObject(brush);
    for (HANDLE event : events) CloseHandle(event);

    std::vector<std::string> blind;
    if (during.handles < before.handles + kHandles) blind.push_back("handles");
    if (during.privateBytes < before.privateBytes + kBytes) blind.push_back("private bytes");
    if (during.gdiObjects < before.gdiObjects + kObjects) blind.push_back("GDI objects");
    const auto brushesIn = [](const ResourceCounts& counts) {
        const auto found = counts.gdiObjectsByType.find(OBJ_BRUSH);
        return found == counts.gdiObjectsByType.end() ? 0 : found->second;
    };
    if (!during.gdiObjectsByType.empty() && brushesIn(during) < brushesIn(before) + kObjects)
        blind.push_back("GDI objects by type");
    if (during.userObjects < before.userObjects + kObjects) blind.push_back("USER objects");
    return blind;
}
