// The two records of one port, shared by the monitor, the UI library and the
// prompt program: its connection settings and its options.
#pragma once

#include <windows.h>

#include <string>

struct PortSettings {
    explicit PortSettings(std::wstring port) : portName(std::move(port)) {}
    std::wstring deviceType = L"Printer";
    std::wstring hostName;
    std::wstring portNumber = L"515";
    std::wstring portName;
    std::wstring printerName;
    DWORD unattended = 0;
    // How long a job waits for a server that cannot be reached; 0: not at all.
    DWORD retryMinutes = kDefaultRetryMinutes;

    static constexpr DWORD kDefaultRetryMinutes = 60;
    // The longest waiting time a port can be given: a week.
    static constexpr DWORD kLongestRetryMinutes = 7 * 24 * 60;
};

struct PortOptions {
    explicit PortOptions(std::wstring port) : portName(std::move(port)) {}
    std::wstring address;  // up to four lines joined by line feeds
    std::wstring building;
    std::wstring department;
    std::wstring jobAttributes;
    std::wstring name;
    std::wstring portName;
    DWORD promptFlag = 0;
    std::wstring room;
};
