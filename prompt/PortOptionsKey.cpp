#include "PortOptionsKey.h"

#include "ErrorBuilders.h"
#include "PortKeys.h"

#include <algorithm>

namespace {

// 2048 characters and the terminator: the longest text the dialog takes.
constexpr DWORD kStringBufferBytes = 4098;
// A stored size of one character or less is an empty string.
constexpr size_t kEmptyStringBytes = 2;

struct StringValue {
    const wchar_t* name;
    std::wstring PortOptions::*field;
};

// The string values, in the order they are read and written; "Show" follows them.
constexpr StringValue kStringValues[] = {
    {portvalue::kAddress, &PortOptions::address},
    {portvalue::kBuilding, &PortOptions::building},
    {portvalue::kDepartment, &PortOptions::department},
    {portvalue::kAttributes, &PortOptions::jobAttributes},
    {portvalue::kName, &PortOptions::name},
    {portvalue::kRoom, &PortOptions::room},
};

// The port's key as the prompt program opens it, below HKEY_LOCAL_MACHINE.
std::wstring machinePortKeyPath(const std::wstring& portName) {
    return std::wstring(kMonitorRootPath) + L"\\" + portKeyPath(portName);
}

DWORD storedDword(const std::vector<BYTE>& bytes) {
    DWORD value = 0;
    std::copy_n(bytes.begin(), std::min(bytes.size(), sizeof value), reinterpret_cast<BYTE*>(&value));
    return value;
}

}  // namespace

PortOptionsKey::PortOptionsKey(const std::wstring& portName) : path_(machinePortKeyPath(portName)) {
    key_ = RegistryKey::open(HKEY_LOCAL_MACHINE, path_, KEY_READ | KEY_WRITE, &writeOpenStatus_);
    if (!key_) key_ = RegistryKey::open(HKEY_LOCAL_MACHINE, path_, KEY_READ);
}

void PortOptionsKey::read(PortOptions& options) const {
    if (!key_) return;
    for (const StringValue& value : kStringValues) {
        auto stored = key_->readValue(value.name, kStringBufferBytes);
        if (!stored || stored->bytes.size() <= kEmptyStringBytes) continue;
        options.*value.field = stored->type == REG_SZ ? registryText(stored->bytes) : std::wstring();
    }
    if (auto show = key_->readValue(portvalue::kShow, sizeof(DWORD)))
        options.promptFlag = show->type != REG_SZ && storedDword(show->bytes) != 0 ? 1 : 0;
}

void PortOptionsKey::write(const PortOptions& options) {
    if (writeOpenStatus_ != ERROR_SUCCESS) throwRegistryError(L"RegOpenKeyEx()", path_, writeOpenStatus_);
    const auto stored = [this](LONG status) {
        if (status != ERROR_SUCCESS) throwRegistryError(L"RegSetValueEx()", path_, status);
    };
    for (const StringValue& value : kStringValues) stored(key_->setString(value.name, options.*value.field));
    stored(key_->setDword(portvalue::kShow, options.promptFlag));
}
