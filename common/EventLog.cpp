#include "EventLog.h"

#include "EventIds.h"

namespace {

class WindowsEventLog : public EventLogWriter {
public:
    void reportError(const std::wstring& source, DWORD eventId, const std::wstring& message) override {
        HANDLE log = RegisterEventSourceW(nullptr, source.c_str());
        if (!log) return;
        const wchar_t* inserts[] = {message.c_str()};
        ReportEventW(log, EVENTLOG_ERROR_TYPE, 0, eventId, nullptr, 1, 0, inserts, nullptr);
        DeregisterEventSource(log);
    }
};

WindowsEventLog windowsEventLog;
EventLogWriter* currentWriter = &windowsEventLog;

}  // namespace

const wchar_t* eventSourceFor(DWORD eventId) {
    return eventId == EVENT_SERVER_SYSTEM_ERROR ? kServerEventSource : kUIEventSource;
}

std::wstring eventInsertOf(const std::wstring& message) {
    if (message.size() <= kLongestEventInsert) return message;
    size_t length = kLongestEventInsert;
    if (IS_HIGH_SURROGATE(message[length - 1])) --length;
    return message.substr(0, length);
}

EventLogWriter& eventLog() { return *currentWriter; }

void setEventLog(EventLogWriter* writer) { currentWriter = writer ? writer : &windowsEventLog; }
