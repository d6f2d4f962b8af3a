#include "RuntimeError.h"

#include "EventLog.h"
#include "MessageBoxes.h"
#include "ResourceStrings.h"
#include "ResourceIds.h"

RuntimeError::RuntimeError(std::wstring message, DWORD code) : message_(std::move(message)), code_(code) {}

RuntimeError::~RuntimeError() = default;

DWORD RuntimeError::code() const { return code_; }

void RuntimeError::reportEvent(DWORD eventId) const {
    try {
        eventLog().reportError(eventSourceFor(eventId), eventId, eventInsertOf(message_));
    } catch (...) {
        // Reporting runs inside catch blocks; losing one event is better than
        // letting a second failure escape.
    }
}

void RuntimeError::showMessage() const {
    try {
        showMessageBox(message_, loadResourceString(IDS_MONITOR_NAME), kErrorBoxStyle);
    } catch (...) {
    }
}

LPDRuntimeError::~LPDRuntimeError() = default;

ConnectionError::~ConnectionError() = default;

void showWarning(const RuntimeWarning& warning) {
    try {
        showMessageBox(warning.message(), loadResourceString(IDS_MONITOR_NAME), kWarningBoxStyle);
    } catch (...) {
    }
}
