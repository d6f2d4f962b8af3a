// Runs the body of a module entry point so that no exception ever leaves it:
// a RuntimeError goes to the given handler, anything else (a failed
// allocation inside the library) becomes ERROR_NOT_ENOUGH_MEMORY. Either way
// the result is FALSE.
#pragma once

#include "RuntimeError.h"

#include <windows.h>

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
