#include "MappedImages.h"

#include <windows.h>
#include <psapi.h>

namespace qrxtest {

namespace {

bool endsWithIgnoringCase(const std::wstring& text, const std::wstring& tail) {
    if (tail.size() > text.size()) return false;
    return CompareStringOrdinal(text.c_str() + (text.size() - tail.size()), static_cast<int>(tail.size()),
                                tail.c_str(), static_cast<int>(tail.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring mappedFileName(const void* address) {
    wchar_t name[2 * MAX_PATH];
    DWORD length = GetMappedFileNameW(GetCurrentProcess(), const_cast<void*>(address), name, 2 * MAX_PATH);
    return std::wstring(name, length);
}

std::vector<std::wstring> mappedImages(const std::wstring& fileName) {
    std::vector<std::wstring> found;
    MEMORY_BASIC_INFORMATION region;
    for (const char* at = nullptr; VirtualQuery(at, &region, sizeof region) == sizeof region;
         at = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        // Each mapping is counted once, at its first region.
        bool mapping = region.Type == MEM_IMAGE || region.Type == MEM_MAPPED;
        if (!mapping || region.BaseAddress != region.AllocationBase) continue;
        std::wstring name = mappedFileName(region.BaseAddress);
        if (endsWithIgnoringCase(name, L"\\" + fileName)) found.push_back(name);
    }
    return found;
}

bool isMappingOf(const std::wstring& mappedName, const std::wstring& drivePath) {
    // The mapped name puts a device or NT prefix where the drive path has its
    // drive: the rest must be the same.
    std::wstring rest = drivePath.size() > 2 && drivePath[1] == L':' ? drivePath.substr(2) : drivePath;
    return endsWithIgnoringCase(mappedName, rest);
}

}  // namespace qrxtest
