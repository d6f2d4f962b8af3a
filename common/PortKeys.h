// Where the monitor's ports live in the registry and the names of their
// values: the monitor's store, the prompt program and the tools all use
// exactly these.
#pragma once

#include <string>

// Where a spooler keeps the registry root of this monitor, below HKEY_LOCAL_MACHINE.
constexpr const wchar_t* kMonitorRootPath = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Prentova Port Monitor";

// The key below the monitor's root that holds one key per port.
constexpr const wchar_t* kPortsKey = L"Ports";

// A port's key, below the monitor's root.
inline std::wstring portKeyPath(const std::wstring& portName) { return std::wstring(kPortsKey) + L"\\" + portName; }

// Value names of a port key.
namespace portvalue {
constexpr const wchar_t* kDevice = L"Device";
constexpr const wchar_t* kHost = L"Host";
constexpr const wchar_t* kPort = L"Port";
constexpr const wchar_t* kPrinter = L"Printer";
constexpr const wchar_t* kUnattended = L"Unattended";
constexpr const wchar_t* kRetryMinutes = L"RetryMinutes";
constexpr const wchar_t* kAddress = L"Addr";
constexpr const wchar_t* kBuilding = L"Bld";
constexpr const wchar_t* kDepartment = L"Dept";
constexpr const wchar_t* kAttributes = L"Attr";
constexpr const wchar_t* kName = L"Name";
constexpr const wchar_t* kRoom = L"Room";
constexpr const wchar_t* kShow = L"Show";
}  // namespace portvalue
