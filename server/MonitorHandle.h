// The handles the monitor gives the spooler for itself and for a
// transceive channel.
#pragma once

#include "RegistryKey.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <optional>
#include <string>

struct MonitorHandle {
    // The spooler's handle, registry root and registry functions. A copy:
    // the spooler may hand over a record that lives only during the call.
    MONITORINIT init{};
    // The monitor's own registry root, when the spooler's registry functions
    // are stubs and the ordinary registry stands in for them.
    std::optional<RegistryKey> ownRoot;
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
