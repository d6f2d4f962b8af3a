#include "SpoolerPorts.h"

#include "ErrorBuilders.h"

#include <windows.h>
#include <winspool.h>

#include <vector>

namespace {

// A few rounds are enough for ports added between the sizing call and the
// fetch: each round asks again with the size last reported.
constexpr int kFetchRounds = 4;

// The spooler's PORT_INFO_2 records, in a buffer that outlives the records' strings.
struct PortListing {
    std::vector<BYTE> buffer;
    DWORD count = 0;
    const PORT_INFO_2W* records() const { return reinterpret_cast<const PORT_INFO_2W*>(buffer.data()); }
};

PortListing listSpoolerPorts() {
    PortListing listing;
    DWORD needed = 0;
    if (EnumPortsW(nullptr, 2, nullptr, 0, &needed, &listing.count)) return {};
    DWORD status = GetLastError();
    for (int round = 0; round < kFetchRounds && status == ERROR_INSUFFICIENT_BUFFER; ++round) {
        // Fresh heap memory is aligned for the records' pointers.
        listing.buffer.assign(needed, 0);
        if (EnumPortsW(nullptr, 2, listing.buffer.data(), needed, &needed, &listing.count)) return listing;
        status = GetLastError();
    }
    throwCallFailed(L"EnumPorts()", status);
}

}  // namespace

bool spoolerHasPort(const std::wstring& portName) {
    // The sizing call's ERROR_INSUFFICIENT_BUFFER is no concern of the caller's.
    const DWORD callersLastError = GetLastError();
    const PortListing listing = listSpoolerPorts();
    SetLastError(callersLastError);
    for (DWORD i = 0; i < listing.count; ++i) {
        const wchar_t* name = listing.records()[i].pPortName;
        if (name && lstrcmpW(name, portName.c_str()) == 0) return true;
    }
    return false;
}
