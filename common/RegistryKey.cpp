#include "RegistryKey.h"

#include <vector>

std::optional<RegistryKey> RegistryKey::open(HKEY parent, const std::wstring& path, REGSAM access, LONG* status) {
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(parent, path.c_str(), 0, access, &key);
    if (status) *status = result;
    if (result != ERROR_SUCCESS) return std::nullopt;
    return RegistryKey(key);
}

std::optional<RegistryKey> RegistryKey::create(HKEY parent, const std::wstring& path, REGSAM access, LONG* status) {
    HKEY key = nullptr;
    LONG result = RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, access, nullptr, &key, nullptr);
    if (status) *status = result;
    if (result != ERROR_SUCCESS) return std::nullopt;
    return RegistryKey(key);
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        if (key_) RegCloseKey(key_);
        key_ = other.key_;
        other.key_ = nullptr;
    }
    return *this;
}

RegistryKey::~RegistryKey() {
    if (key_) RegCloseKey(key_);
}

LONG RegistryKey::setString(const std::wstring& name, const std::wstring& value, DWORD type) {
    return RegSetValueExW(key_, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

LONG RegistryKey::setDword(const std::wstring& name, DWORD value) {
    return RegSetValueExW(key_, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

std::optional<std::wstring> RegistryKey::readString(const std::wstring& name, DWORD maxBytes) const {
    std::vector<wchar_t> buffer(maxBytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = maxBytes;
    if (RegQueryValueExW(key_, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return std::nullopt;
    // The buffer has one character more than offered, so the text always ends.
    return std::wstring(buffer.data());
}
