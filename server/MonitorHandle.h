// The handles the monitor gives the spooler for itself and for a
// transceive channel.
#pragma once

#include "RegistryKey.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <optional>

struct MonitorHandle {
    // The spooler's handle, registry root and registry functions. A copy:
    // the spooler may hand over a record that lives only during the call.
    MONITORINIT init{};
    // The monitor's own registry root, when the spooler's registry functions
    // are stubs and the ordinary registry stands in for them.
    std::optional<RegistryKey> ownRoot;
};

struct XcvHandle {
    ACCESS_MASK grantedAccess;
    MonitorHandle* monitor;
};
