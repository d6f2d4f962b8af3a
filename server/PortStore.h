// The ports and their settings as the registry keeps them: one key per port
// below "Ports", one value per setting.
#pragma once

#include "MonitorHandle.h"
#include "PortKeys.h"
#include "PortRecords.h"

#include <string>
#include <vector>

struct PortConfiguration {
    PortSettings settings;
    PortOptions options;
};

class PortStore {
public:
    explicit PortStore(const MonitorHandle& monitor) : monitor_(monitor) {}

    // Creates the port's key, or opens it when it exists. A name that is
    // empty or holds a backslash (which would make a key nested below
    // another port) is refused with ERROR_INVALID_NAME.
    void createPortKey(const std::wstring& portName) const;
    void deletePortKey(const std::wstring& portName) const;
    PortConfiguration loadPort(const std::wstring& portName) const;

    // One value of a port; false when the value is absent or unreadable.
    bool readPortValue(const std::wstring& portName, const std::wstring& valueName, std::wstring& value) const;
    bool readPortValue(const std::wstring& portName, const std::wstring& valueName, DWORD& flag) const;
    void writePortValue(const std::wstring& portName, const std::wstring& valueName, const std::wstring& value) const;
    void writePortValue(const std::wstring& portName, const std::wstring& valueName, DWORD flag) const;
    // The port's waiting time, as the job path reads it (absent: the default).
    DWORD readRetryMinutes(const std::wstring& portName) const;
    void writeRetryMinutes(const std::wstring& portName, DWORD minutes) const;
    // Writes the named option values (of the seven) from the record, in the
    // order named; other names are passed over. Raises on the first failed write.
    void storeOptions(const std::wstring& portName, const PortOptions& options,
                      const std::vector<const wchar_t*>& valueNames) const;

    // The names of all ports, creating "Ports" when it is missing.
    std::vector<std::wstring> listPorts() const;

    // Whether the name can be a port's: not empty and without a backslash.
    static bool isPortName(const std::wstring& portName);

private:
    const MonitorHandle& monitor_;
};
