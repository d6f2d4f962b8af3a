#include "RegistryKey.h"

#include <algorithm>

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
    auto value = readValue(name, maxBytes);
    if (!value) return std::nullopt;
    return registryText(value->bytes);
}

std::optional<RegistryValue> RegistryKey::readValue(const std::wstring& name, DWORD maxBytes) const {
    RegistryValue value{REG_NONE, std::vector<BYTE>(maxBytes)};
    DWORD size = maxBytes;
    if (RegQueryValueExW(key_, name.c_str(), nullptr, &value.type, value.bytes.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.resize(size);
    return value;
}

std::wstring registryText(const std::vector<BYTE>& bytes) {
    std::wstring text(bytes.size() / sizeof(wchar_t), L'\0');
    std::copy_n(bytes.begin(), text.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(text.data()));
    return text.substr(0, text.find(L'\0'));
}
