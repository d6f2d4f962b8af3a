// Packs port records into the caller's buffer the way the spooler expects:
// fixed records from the start, their strings from the end downwards.
#pragma once

#include <windows.h>

#include <string>

class PortInfoBuffer {
public:
    // A null buffer counts as one of size 0; an odd size loses its last byte.
    PortInfoBuffer(DWORD level, BYTE* buffer, DWORD size);

    // Counts the record's bytes and writes it while everything so far fits.
    void add(const std::wstring& portName, const std::wstring& monitorName, const std::wstring& description);

    DWORD bytesNeeded() const { return needed_; }
    DWORD recordsWritten() const { return count_; }

    static bool supportsLevel(DWORD level) { return level == 1 || level == 2; }

private:
    wchar_t* placeString(const std::wstring& text);

    DWORD level_;
    BYTE* start_;
    DWORD usable_;
    DWORD needed_ = 0;
    DWORD count_ = 0;
    BYTE* cursor_;
    BYTE* stringsEnd_;
};
