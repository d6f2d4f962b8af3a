// The monitor's entry-point guards: errors are logged under the server's
// event and their codes become the last error (or the status).
#pragma once

#include "EntryGuard.h"
#include "EventIds.h"

#include <utility>

// What most entry points do with an error: log it and make its code the last error.
inline void reportAndSetLastError(const RuntimeError& error) {
    error.reportEvent(EVENT_SERVER_SYSTEM_ERROR);
    SetLastError(error.code());
}

template <class Body>
BOOL guardEntry(Body&& body) noexcept {
    return guardEntry(std::forward<Body>(body), reportAndSetLastError);
}

// The same for an entry point whose result is a status: the error's code is
// the status, anything but a RuntimeError gives ERROR_NOT_ENOUGH_MEMORY.
template <class Body>
DWORD guardStatus(Body&& body) noexcept {
    DWORD status = ERROR_NOT_ENOUGH_MEMORY;
    guardEntry(
        [&]() -> BOOL {
            status = body();
            return TRUE;
        },
        [&](const RuntimeError& error) {
            status = error.code();
            reportAndSetLastError(error);
        });
    return status;
}
