// The handles the monitor gives the spooler for itself and for a
// transceive channel.
#pragma once

#include "OwnedHandle.h"
#include "RegistryKey.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <atomic>
#include <optional>
#include <string>

struct MonitorHandle {
    // The spooler's handle, registry root and registry functions. A copy:
    // the spooler may hand over a record that lives only during the call.
    MONITORINIT init{};
    // The monitor's own registry root, when the spooler's registry functions
    // are stubs and the ordinary registry stands in for them.
    std::optional<RegistryKey> ownRoot;
    // Set when the spooler shuts the monitor down: jobs that wait for their
    // server stop waiting at once. waits counts them.
    OwnedHandle stopping{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<int> waits{0};
};

// The reply of a printer-list sizing call, kept for the copy call that
// follows with the same input, so that a listing asks the server once.
struct KeptPrinterList {
    std::wstring input;
    std::wstring reply;
};

struct XcvHandle {
    ACCESS_MASK grantedAccess;
    MonitorHandle* monitor;
    // Any other call on the channel forgets it.
    std::optional<KeptPrinterList> keptList;
};
