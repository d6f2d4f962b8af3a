#include "MonitorRegistryKey.h"

#include "ErrorBuilders.h"
#include "PortValueRules.h"

#include <algorithm>

#include <vector>

MonitorRegistryKey::MonitorRegistryKey(const MonitorHandle& monitor, std::wstring subkeyPath)
    : subkeyPath_(std::move(subkeyPath)),
      spooler_(monitor.init.hSpooler),
      root_(monitor.init.hckRegistryRoot),
      registry_(monitor.init.pMonitorReg) {}

MonitorRegistryKey::~MonitorRegistryKey() { close(); }

void MonitorRegistryKey::close() {
    if (!open_) return;
    reg().fpCloseKey(key_, spooler_);
    open_ = false;
    key_ = nullptr;
}

LONG MonitorRegistryKey::open(REGSAM access, bool raiseOnFailure) {
    HANDLE key = nullptr;
    LONG status = reg().fpOpenKey(root_, subkeyPath_.c_str(), access, &key, spooler_);
    if (status != ERROR_SUCCESS) {
        if (raiseOnFailure) throwRegistryError(L"fpOpenKey()", subkeyPath_, status);
        return status;
    }
    key_ = key;
    open_ = true;
    openAccess_ = access;
    return status;
}

void MonitorRegistryKey::create(DWORD options, REGSAM access, PSECURITY_ATTRIBUTES security) {
    HANDLE key = nullptr;
    DWORD disposition = 0;
    LONG status =
        reg().fpCreateKey(root_, subkeyPath_.c_str(), options, access, security, &key, &disposition, spooler_);
    if (status != ERROR_SUCCESS) throwRegistryError(L"fpCreateKey()", subkeyPath_, status);
    key_ = key;
    open_ = true;
    openAccess_ = access;
}

void MonitorRegistryKey::ensureOpen(REGSAM access) {
    if (open_ && openAccess_ == access) return;
    close();
    open(access, true);
}

std::optional<RegistryValue> MonitorRegistryKey::readValue(const std::wstring& valueName) {
    ensureOpen(KEY_READ);
    RegistryValue value{REG_NONE, std::vector<BYTE>(kValueBufferBytes)};
    DWORD size = kValueBufferBytes;
    if (reg().fpQueryValue(key_, valueName.c_str(), &value.type, value.bytes.data(), &size, spooler_) !=
        ERROR_SUCCESS)
        return std::nullopt;
    value.bytes.resize(std::min(size, kValueBufferBytes));
    return value;
}

bool MonitorRegistryKey::readString(const std::wstring& valueName, std::wstring& value) {
    auto stored = readValue(valueName);
    if (!stored) return false;
    value = storedText(*stored);
    return true;
}

bool MonitorRegistryKey::readFlag(const std::wstring& valueName, DWORD& flag) {
    auto stored = readValue(valueName);
    if (!stored) return false;
    flag = storedFlag(*stored);
    return true;
}

void MonitorRegistryKey::writeString(const std::wstring& valueName, const std::wstring& value) {
    ensureOpen(KEY_WRITE);
    LONG status = reg().fpSetValue(key_, valueName.c_str(), REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)), spooler_);
    if (status != ERROR_SUCCESS) throwRegistryError(L"fpSetValue()", subkeyPath_, status);
}

void MonitorRegistryKey::writeFlag(const std::wstring& valueName, DWORD flag) { writeNumber(valueName, flag != 0 ? 1 : 0); }

void MonitorRegistryKey::writeNumber(const std::wstring& valueName, DWORD number) {
    ensureOpen(KEY_WRITE);
    LONG status = reg().fpSetValue(key_, valueName.c_str(), REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                                   sizeof number, spooler_);
    if (status != ERROR_SUCCESS) throwRegistryError(L"fpSetValue()", subkeyPath_, status);
}

bool MonitorRegistryKey::nextSubkey(std::wstring& name) {
    ensureOpen(KEY_READ);
    // Key names are at most 255 characters.
    wchar_t buffer[256] = {};
    DWORD length = 256;
    DWORD index = enumerationIndex_++;
    if (reg().fpEnumKey(key_, index, buffer, &length, nullptr, spooler_) != ERROR_SUCCESS) return false;
    name.assign(buffer, length < 256 ? length : 255);
    return true;
}

void MonitorRegistryKey::deleteKey() {
    close();
    LONG status = reg().fpDeleteKey(root_, subkeyPath_.c_str(), spooler_);
    if (status != ERROR_SUCCESS) throwRegistryError(L"fpDeleteKey()", subkeyPath_, status);
}
