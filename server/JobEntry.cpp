#include "JobEntry.h"

#include "Port.h"
#include "ServerEntryGuard.h"

namespace entry {

namespace {

// A failed job is shown to the user unless the port runs unattended, and
// always logged.
template <class Body>
BOOL guardJobEntry(HANDLE handle, Body&& body) noexcept {
    if (!handle) {
        SetLastError(ERROR_UNKNOWN_PORT);
        return FALSE;
    }
    Port& port = *static_cast<Port*>(handle);
    return guardEntry(std::forward<Body>(body), [&port](const RuntimeError& error) {
        if (!port.unattended()) error.showMessage();
        reportAndSetLastError(error);
    });
}

}  // namespace

BOOL WINAPI startDocPort(HANDLE port, LPWSTR printerName, DWORD jobId, DWORD level, LPBYTE documentInfo) {
    return guardJobEntry(port, [&]() -> BOOL {
        if (static_cast<Port*>(port)->startDocument(printerName, jobId, level, documentInfo)) return TRUE;
        // The wait for the server was stopped: the job stays in the queue.
        SetLastError(ERROR_OPERATION_ABORTED);
        return FALSE;
    });
}

BOOL WINAPI writePort(HANDLE port, LPBYTE buffer, DWORD size, LPDWORD written) {
    return guardJobEntry(port, [&]() -> BOOL {
        if (written) *written = 0;
        if (size > 0 && !buffer) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (!static_cast<Port*>(port)->write(buffer, size)) return FALSE;
        if (written) *written = size;
        return TRUE;
    });
}

BOOL WINAPI endDocPort(HANDLE port) {
    return guardJobEntry(port, [&]() -> BOOL { return static_cast<Port*>(port)->endDocument() ? TRUE : FALSE; });
}

}  // namespace entry
