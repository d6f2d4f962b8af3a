// One key below the monitor's registry root, reached only through the
// registry functions the spooler hands to the monitor. Opened on demand,
// closed when the object goes.
#pragma once

#include "MonitorHandle.h"
#include "RegistryKey.h"

#include <optional>
#include <string>

class MonitorRegistryKey {
public:
    MonitorRegistryKey(const MonitorHandle& monitor, std::wstring subkeyPath);
    MonitorRegistryKey(const MonitorRegistryKey&) = delete;
    MonitorRegistryKey& operator=(const MonitorRegistryKey&) = delete;
    virtual ~MonitorRegistryKey();

    // Opens the existing key; on failure raises or, if not asked to, returns the status.
    LONG open(REGSAM access, bool raiseOnFailure);
    // Opens the key, creating it when missing.
    void create(DWORD options, REGSAM access, PSECURITY_ATTRIBUTES security);

    // A value as stored; nullopt when it is missing or longer than the
    // longest string a port's value may hold.
    std::optional<RegistryValue> readValue(const std::wstring& valueName);
    // The value by the port values' read rules; false, leaving the output
    // alone, for a value that is missing or does not fit.
    bool readString(const std::wstring& valueName, std::wstring& value);
    bool readFlag(const std::wstring& valueName, DWORD& flag);
    void writeString(const std::wstring& valueName, const std::wstring& value);
    void writeFlag(const std::wstring& valueName, DWORD flag);
    void writeNumber(const std::wstring& valueName, DWORD number);

    // The next subkey's name; false when the enumeration is over.
    bool nextSubkey(std::wstring& name);

    void deleteKey();

    const std::wstring& subkeyPath() const { return subkeyPath_; }

private:
    void close();
    void ensureOpen(REGSAM access);
    const MONITORREG& reg() const { return *registry_; }

    bool open_ = false;
    std::wstring subkeyPath_;
    DWORD enumerationIndex_ = 0;
    HANDLE key_ = nullptr;
    REGSAM openAccess_ = 0;
    HANDLE spooler_;
    HANDLE root_;
    const MONITORREG* registry_;
};
