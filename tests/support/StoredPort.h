// A port of the monitor made the way its store keeps it: a key below
// "Ports" in the machine's registry, removed again with its values.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qrxtest {

const std::wstring kMonitorPortsKey =
    L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Prentova Port Monitor\\Ports";

// A value as the registry keeps it.
struct StoredValue {
    DWORD type;
    std::vector<BYTE> bytes;
    bool operator==(const StoredValue& other) const { return type == other.type && bytes == other.bytes; }
};

class StoredPort {
public:
    // Creates the key unless asked not to; either way it is removed at the end.
    explicit StoredPort(std::wstring name, bool create = true)
        : name_(std::move(name)), path_(kMonitorPortsKey + L"\\" + name_) {
        if (!create) return;
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegCloseKey(key);
    }
    ~StoredPort() {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, path_.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, path_.c_str());
    }
    StoredPort(const StoredPort&) = delete;
    StoredPort& operator=(const StoredPort&) = delete;

    void set(const std::wstring& value, const std::wstring& text) const {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, path_.c_str(), value.c_str(), REG_SZ, text.c_str(),
                        DWORD((text.size() + 1) * sizeof(wchar_t)));
    }
    void set(const std::wstring& value, DWORD flag) const {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, path_.c_str(), value.c_str(), REG_DWORD, &flag, sizeof flag);
    }
    std::wstring get(const std::wstring& value) const {
        wchar_t text[512] = {};
        DWORD size = sizeof text;
        if (RegGetValueW(HKEY_LOCAL_MACHINE, path_.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, text, &size) !=
            ERROR_SUCCESS)
            return {};
        return text;
    }
    void setRaw(const std::wstring& value, DWORD type, const std::vector<BYTE>& bytes) const {
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, path_.c_str(), value.c_str(), type, bytes.data(), DWORD(bytes.size()));
    }
    std::optional<StoredValue> raw(const std::wstring& value) const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
        StoredValue stored{REG_NONE, std::vector<BYTE>(8192)};
        DWORD size = DWORD(stored.bytes.size());
        LONG status = RegQueryValueExW(key, value.c_str(), nullptr, &stored.type, stored.bytes.data(), &size);
        RegCloseKey(key);
        if (status != ERROR_SUCCESS) return std::nullopt;
        stored.bytes.resize(size);
        return stored;
    }
    bool exists() const {
        HKEY key = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path_.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        RegCloseKey(key);
        return true;
    }
    const std::wstring& name() const { return name_; }
    const std::wstring& path() const { return path_; }

private:
    std::wstring name_;
    std::wstring path_;
};

}  // namespace qrxtest
