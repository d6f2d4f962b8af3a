// A port of the monitor made the way its store keeps it: a key below
// "Ports" in the machine's registry, removed again with its values.
#pragma once

#include <windows.h>

#include <string>

namespace qrxtest {

const std::wstring kMonitorPortsKey =
    L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Prentova Port Monitor\\Ports";

class StoredPort {
public:
    explicit StoredPort(std::wstring name) : name_(std::move(name)), path_(kMonitorPortsKey + L"\\" + name_) {
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
    const std::wstring& name() const { return name_; }

private:
    std::wstring name_;
    std::wstring path_;
};

}  // namespace qrxtest
