// The registry key of one port as the prompt program uses it: the seven
// option values read into a PortOptions record, and written back from it.
#pragma once

#include "PortRecords.h"
#include "RegistryKey.h"

#include <optional>
#include <string>

class PortOptionsKey {
public:
    // Opens the port's key below HKEY_LOCAL_MACHINE for reading and writing,
    // or, when that is refused, for reading only, so that a user who may not
    // change the options still sees them. A key that does not exist is not
    // created; the object then reads nothing.
    explicit PortOptionsKey(const std::wstring& portName);

    // The key's path below HKEY_LOCAL_MACHINE.
    const std::wstring& path() const { return path_; }

    // Fills the record from the seven values by the rules the monitor reads
    // them with; without a key every field is empty.
    void read(PortOptions& options) const;

    // Writes the seven values in their order: the strings as REG_SZ with
    // their terminating null, "Show" as REG_DWORD. Throws the registry error
    // of the failed call when the key could not be opened for writing or a
    // write fails; the values written before it stay.
    void write(const PortOptions& options);

private:
    std::wstring path_;
    // The result of opening for reading and writing.
    LONG writeOpenStatus_ = ERROR_SUCCESS;
    std::optional<RegistryKey> key_;
};
