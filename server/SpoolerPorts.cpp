#include "SpoolerPorts.h"

#include "ErrorBuilders.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

// Rounds of asking again: for ports added between the sizing call and the
// fetch, and for torn listings (below).
constexpr int kFetchRounds = 8;

// The spooler's PORT_INFO_2 records, in the buffer that holds their strings.
struct PortListing {
    std::vector<BYTE> buffer;
    DWORD count = 0;

    const PORT_INFO_2W* records() const { return reinterpret_cast<const PORT_INFO_2W*>(buffer.data()); }

    // Wine's spooler sizes and fills its listing in two passes over the
    // monitors; a port added between them makes it count records that it
    // never wrote. A whole listing has every record inside the buffer and
    // every name a NUL-ended text inside it.
    bool isWhole() const {
        if (count > buffer.size() / sizeof(PORT_INFO_2W)) return false;
        const auto* first = reinterpret_cast<const wchar_t*>(buffer.data());
        const wchar_t* last = first + buffer.size() / sizeof(wchar_t);
        for (DWORD i = 0; i < count; ++i) {
            const wchar_t* name = records()[i].pPortName;
            const auto at = reinterpret_cast<std::uintptr_t>(name);
            if (at < reinterpret_cast<std::uintptr_t>(first) || at >= reinterpret_cast<std::uintptr_t>(last) ||
                at % sizeof(wchar_t) != 0)
                return false;
            if (std::find(name, last, L'\0') == last) return false;
        }
        return true;
    }
};

PortListing listSpoolerPorts(const wchar_t* serverName) {
    LPWSTR server = serverName && *serverName ? const_cast<LPWSTR>(serverName) : nullptr;
    DWORD needed = 0;
    DWORD status = ERROR_SUCCESS;
    for (int round = 0; round < kFetchRounds; ++round) {
        // Zeroed, so that records the spooler counts but does not write have no name.
        PortListing listing;
        listing.buffer.assign(needed, 0);
        if (EnumPortsW(server, 2, needed ? listing.buffer.data() : nullptr, needed, &needed, &listing.count)) {
            if (listing.isWhole()) return listing;
            status = ERROR_INVALID_DATA;
            continue;
        }
        status = GetLastError();
        if (status != ERROR_INSUFFICIENT_BUFFER) break;
    }
    throwCallFailed(L"EnumPorts()", status);
}

}  // namespace

bool samePortName(const wchar_t* listed, const std::wstring& name) {
    return CompareStringOrdinal(listed, -1, name.c_str(), static_cast<int>(name.size()), TRUE) == CSTR_EQUAL;
}

std::vector<SpoolerPort> spoolerPorts(const wchar_t* serverName) {
    const PortListing listing = listSpoolerPorts(serverName);
    std::vector<SpoolerPort> ports;
    for (DWORD i = 0; i < listing.count; ++i) {
        const PORT_INFO_2W& record = listing.records()[i];
        ports.push_back({record.pPortName, record.pMonitorName ? record.pMonitorName : L""});
    }
    return ports;
}

bool spoolerHasPort(const std::wstring& portName) {
    // The sizing call's ERROR_INSUFFICIENT_BUFFER is no concern of the caller's.
    const DWORD callersLastError = GetLastError();
    const PortListing listing = listSpoolerPorts(nullptr);
    SetLastError(callersLastError);
    for (DWORD i = 0; i < listing.count; ++i)
        if (samePortName(listing.records()[i].pPortName, portName)) return true;
    return false;
}
