// The one seam between the modules and the Windows event log. The default
// writes to the real log; tests install a recorder (Wine keeps no log).
#pragma once

#include <windows.h>

#include <string>

class EventLogWriter {
public:
    virtual ~EventLogWriter() = default;
    virtual void reportError(const std::wstring& source, DWORD eventId, const std::wstring& message) = 0;
};

// The source an event id is logged under: the server's for its system-error
// event, the UI's for every other id.
const wchar_t* eventSourceFor(DWORD eventId);

// The longest insert string the event log takes; a longer one loses the
// whole event.
constexpr size_t kLongestEventInsert = 31839;
// The message cut to what the event log takes, never between the two halves
// of a surrogate pair.
std::wstring eventInsertOf(const std::wstring& message);

EventLogWriter& eventLog();
// Replaces the writer; nullptr puts the real event log back.
void setEventLog(EventLogWriter* writer);
