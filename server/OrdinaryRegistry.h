// The monitor's registry functions over the ordinary registry, for a spooler
// that hands over registry functions it does not implement (Wine's answer
// ERROR_CALL_NOT_IMPLEMENTED to every call). Handles are plain HKEYs.
#pragma once

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include "PortKeys.h"

const MONITORREG& ordinaryRegistryFunctions();

// True when the spooler's registry functions are stubs.
bool spoolerRegistryIsMissing(const MONITORINIT& init);
