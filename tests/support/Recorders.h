// Stand-ins for the event log and message boxes that record what the code
// under test reports, installed for the lifetime of the object.
#pragma once

#include "EventLog.h"
#include "MessageBoxes.h"

#include <mutex>
#include <string>
#include <vector>

namespace qrxtest {

struct RecordedEvent {
    std::wstring source;
    DWORD eventId;
    std::wstring message;
};

class RecordingEventLog : public EventLogWriter {
public:
    RecordingEventLog() { setEventLog(this); }
    ~RecordingEventLog() override { setEventLog(nullptr); }
    void reportError(const std::wstring& source, DWORD eventId, const std::wstring& message) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({source, eventId, message});
    }
    std::vector<RecordedEvent> events() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<RecordedEvent> events_;
};

struct RecordedBox {
    std::wstring text;
    std::wstring caption;
    UINT style;
    HWND owner;
};

class RecordingMessageBoxes : public MessageBoxPresenter {
public:
    RecordingMessageBoxes() { setMessageBoxes(this); }
    ~RecordingMessageBoxes() override { setMessageBoxes(nullptr); }
    void show(HWND owner, const std::wstring& text, const std::wstring& caption, UINT style) override {
        std::lock_guard<std::mutex> lock(mutex_);
        boxes_.push_back({text, caption, style, owner});
    }
    std::vector<RecordedBox> boxes() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return boxes_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<RecordedBox> boxes_;
};

// Maps the built English resource library and makes it the module's
// resources; null when it cannot be mapped.
HMODULE mapEnglishResources();

// Makes the built English resource library the module's resources for the
// whole test program.
void useEnglishResources();

}  // namespace qrxtest
