#include "XcvEntry.h"

#include "MonitorHandle.h"
#include "ServerEntryGuard.h"
#include "XcvCommands.h"

#include <utility>

namespace entry {

namespace {

bool mayAdminister(const XcvHandle& handle) { return (handle.grantedAccess & SERVER_ACCESS_ADMINISTER) != 0; }

}  // namespace

DWORD WINAPI xcvDataPort(HANDLE xcv, LPCWSTR command, PBYTE input, DWORD inputSize, PBYTE output, DWORD outputSize,
                         PDWORD outputNeeded) {
    return guardStatus([&]() -> DWORD {
        if (!xcv) return ERROR_INVALID_HANDLE;
        XcvHandle& handle = *static_cast<XcvHandle*>(xcv);
        if (!mayAdminister(handle)) return ERROR_ACCESS_DENIED;
        if (!command || !outputNeeded || (!input && inputSize > 0) || (!output && outputSize > 0))
            return ERROR_INVALID_PARAMETER;
        const XcvCommand* found = findXcvCommand(command);
        if (!found) return ERROR_INVALID_DATA;

        XcvAnswer answer(output, outputSize, outputNeeded);
        std::optional<KeptPrinterList> previous = std::exchange(handle.keptList, std::nullopt);
        XcvCall call{*handle.monitor,
                     XcvInput::split(XcvInput::textOf(input, inputSize), found->input),
                     found->valueName,
                     answer,
                     previous,
                     handle.keptList};
        return found->handler(call);
    });
}

}  // namespace entry
