// Owner of one key of the ordinary registry (the modules that run outside the
// spooler, and the machine-wide keys of the installation).
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// One value as the registry keeps it: its type and its stored bytes.
struct RegistryValue {
    DWORD type;
    std::vector<BYTE> bytes;
};

// The text of stored string bytes: up to the first null character, never
// beyond the stored size (an odd last byte is no character).
std::wstring registryText(const std::vector<BYTE>& bytes);

class RegistryKey {
public:
    // Opens an existing key; nullopt (with the status in *status) when it cannot be opened.
    static std::optional<RegistryKey> open(HKEY parent, const std::wstring& path, REGSAM access,
                                           LONG* status = nullptr);
    // Opens the key, creating it and the keys above it when missing.
    static std::optional<RegistryKey> create(HKEY parent, const std::wstring& path, REGSAM access,
                                             LONG* status = nullptr);

    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();

    HKEY handle() const { return key_; }

    // Strings are stored with their terminating NUL.
    LONG setString(const std::wstring& name, const std::wstring& value, DWORD type = REG_SZ);
    LONG setDword(const std::wstring& name, DWORD value);

    // The text of a value read through a buffer of maxBytes bytes (NUL
    // included); nullopt when missing or longer. The type is not looked at.
    std::optional<std::wstring> readString(const std::wstring& name, DWORD maxBytes) const;
    // A value read through a buffer of maxBytes bytes; nullopt when missing or longer.
    std::optional<RegistryValue> readValue(const std::wstring& name, DWORD maxBytes) const;

private:
    explicit RegistryKey(HKEY key) : key_(key) {}
    HKEY key_;
};
