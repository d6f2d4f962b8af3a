// Runs the body of a spooler entry point so that no exception ever reaches
// the spooler: a RuntimeError goes to the given handler, anything else (a
// failed allocation inside the library) becomes ERROR_NOT_ENOUGH_MEMORY.
#pragma once

#include "EventIds.h"
#include "RuntimeError.h"

#include <windows.h>

#include <new>

// What most entry points do with an error: log it and make its code the last error.
inline void reportAndSetLastError(const RuntimeError& error) {
    error.reportEvent(EVENT_SERVER_SYSTEM_ERROR);
    SetLastError(error.code());
}

template <class Body, class OnError>
BOOL guardEntry(Body&& body, OnError&& onError) noexcept {
    try {
        return body();
    } catch (const RuntimeError& error) {
        try {
            onError(error);
        } catch (...) {
            SetLastError(error.code());
        }
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    }
    return FALSE;
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
