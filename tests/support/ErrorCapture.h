// The RuntimeError that a call throws; a test failure when it throws none.
#pragma once

#include "RuntimeError.h"

#include <gtest/gtest.h>

#include <functional>

namespace qrxtest {

inline RuntimeError thrownError(const std::function<void()>& call) {
    try {
        call();
    } catch (const RuntimeError& error) {
        return error;
    }
    ADD_FAILURE() << "no RuntimeError was thrown";
    return RuntimeError(L"", 0);
}

}  // namespace qrxtest
