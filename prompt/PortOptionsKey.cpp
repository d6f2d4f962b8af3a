#include "PortOptionsKey.h"

#include "ErrorBuilders.h"
#include "PortKeys.h"
#include "PortValueRules.h"

namespace {

// The port's key as the prompt program opens it, below HKEY_LOCAL_MACHINE.
std::wstring machinePortKeyPath(const std::wstring& portName) {
    return std::wstring(kMonitorRootPath) + L"\\" + portKeyPath(portName);
}

}  // namespace

PortOptionsKey::PortOptionsKey(const std::wstring& portName) : path_(machinePortKeyPath(portName)) {
    key_ = RegistryKey::open(HKEY_LOCAL_MACHINE, path_, KEY_READ | KEY_WRITE, &writeOpenStatus_);
    if (!key_) key_ = RegistryKey::open(HKEY_LOCAL_MACHINE, path_, KEY_READ);
}

void PortOptionsKey::read(PortOptions& options) const {
    readPortOptions(
        [this](const wchar_t* name) { return key_ ? key_->readValue(name, kValueBufferBytes) : std::nullopt; },
        options);
}

void PortOptionsKey::write(const PortOptions& options) {
    if (writeOpenStatus_ != ERROR_SUCCESS) throwRegistryError(L"RegOpenKeyEx()", path_, writeOpenStatus_);
    const auto stored = [this](LONG status) {
        if (status != ERROR_SUCCESS) throwRegistryError(L"RegSetValueEx()", path_, status);
    };
    for (const OptionText& text : kOptionTexts) stored(key_->setString(text.valueName, options.*text.field));
    stored(key_->setDword(portvalue::kShow, options.promptFlag));
}
