// The monitor UI table that the spooler asks for, and its three actions.
#include "EntryGuard.h"
#include "EventIds.h"
#include "MessageBoxes.h"
#include "PortActions.h"

#include <winsplp.h>

namespace {

// What reaches an entry point's guard is shown and logged, and its code
// becomes the last error.
void reportUIError(const RuntimeError& error) {
    error.showMessage();
    error.reportEvent(EVENT_UI_SYSTEM_ERROR);
    SetLastError(error.code());
}

// An action on a named object; the spooler never passes a null name.
// The entry's own boxes belong to the window the spooler passed.
template <class Action>
BOOL guardAction(HWND owner, PCWSTR name, Action&& action) noexcept {
    MessageBoxOwner boxes(owner);
    return guardEntry(
        [&]() -> BOOL {
            if (!name) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return FALSE;
            }
            return action(std::wstring(name));
        },
        reportUIError);
}

// The out-parameter for the new port's name is left as the caller set it.
BOOL WINAPI addPortUI(PCWSTR serverName, HWND owner, PCWSTR monitorName, PWSTR*) {
    return guardAction(owner, monitorName, [&](const std::wstring& monitor) {
        return actions::addPort(windowPortDialogs(), serverName, owner, monitor);
    });
}

BOOL WINAPI configurePortUI(PCWSTR serverName, HWND owner, PCWSTR portName) {
    return guardAction(owner, portName, [&](const std::wstring& port) {
        return actions::configurePort(windowPortDialogs(), serverName, owner, port);
    });
}

BOOL WINAPI deletePortUI(PCWSTR serverName, HWND owner, PCWSTR portName) {
    return guardAction(owner, portName,
                       [&](const std::wstring& port) { return actions::deletePort(serverName, owner, port); });
}

}  // namespace

extern "C" PMONITORUI WINAPI InitializePrintMonitorUI() {
    static MONITORUI table{sizeof(MONITORUI), addPortUI, configurePortUI, deletePortUI};
    return &table;
}
