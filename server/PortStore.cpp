#include "PortStore.h"

#include "ErrorBuilders.h"
#include "MonitorRegistryKey.h"
#include "PortValueRules.h"


bool PortStore::isPortName(const std::wstring& portName) {
    return !portName.empty() && portName.find(L'\\') == std::wstring::npos;
}

void PortStore::createPortKey(const std::wstring& portName) const {
    if (!isPortName(portName))
        throwRegistryError(L"fpCreateKey()", portKeyPath(portName), ERROR_INVALID_NAME);
    MonitorRegistryKey key(monitor_, portKeyPath(portName));
    key.create(0, KEY_ALL_ACCESS, nullptr);
}

void PortStore::deletePortKey(const std::wstring& portName) const {
    MonitorRegistryKey key(monitor_, portKeyPath(portName));
    key.deleteKey();
}

namespace {

// A value read into a fresh local, so that an absent value clears the
// record's default.
std::wstring stringOrEmpty(MonitorRegistryKey& key, const wchar_t* name) {
    std::wstring value;
    key.readString(name, value);
    return value;
}

DWORD flagOrZero(MonitorRegistryKey& key, const wchar_t* name) {
    DWORD flag = 0;
    key.readFlag(name, flag);
    return flag;
}

}  // namespace

PortConfiguration PortStore::loadPort(const std::wstring& portName) const {
    using namespace portvalue;
    PortConfiguration port{PortSettings(portName), PortOptions(portName)};
    MonitorRegistryKey key(monitor_, portKeyPath(portName));

    PortSettings& settings = port.settings;
    settings.deviceType = stringOrEmpty(key, kDevice);
    settings.hostName = stringOrEmpty(key, kHost);
    settings.portNumber = stringOrEmpty(key, kPort);
    settings.printerName = stringOrEmpty(key, kPrinter);
    settings.unattended = flagOrZero(key, kUnattended);
    settings.retryMinutes = storedRetryMinutes(key.readValue(kRetryMinutes));

    readPortOptions([&key](const wchar_t* name) { return key.readValue(name); }, port.options);
    return port;
}

void PortStore::storeOptions(const std::wstring& portName, const PortOptions& options,
                             const std::vector<const wchar_t*>& valueNames) const {
    MonitorRegistryKey key(monitor_, portKeyPath(portName));
    for (const wchar_t* name : valueNames) {
        if (std::wstring(name) == portvalue::kShow) {
            key.writeFlag(name, options.promptFlag);
            continue;
        }
        for (const OptionText& text : kOptionTexts)
            if (std::wstring(name) == text.valueName) key.writeString(name, options.*text.field);
    }
}

bool PortStore::readPortValue(const std::wstring& portName, const std::wstring& valueName, std::wstring& value) const {
    MonitorRegistryKey key(monitor_, portKeyPath(portName));
    return key.readString(valueName, value);
}

bool PortStore::readPortValue(const std::wstring& portName, const std::wstring& valueName, DWORD& flag) const {
    MonitorRegistryKey key(monitor_, portKeyPath(portName));
    return key.readFlag(valueName, flag);
}

void PortStore::writePortValue(const std::wstring& portName, const std::wstring& valueName,
                               const std::wstring& value) const {
    MonitorRegistryKey key(monitor_, portKeyPath(portName));
    key.writeString(valueName, value);
}

void PortStore::writePortValue(const std::wstring& portName, const std::wstring& valueName, DWORD flag) const {
    MonitorRegistryKey key(monitor_, portKeyPath(portName));
    key.writeFlag(valueName, flag);
}

DWORD PortStore::readRetryMinutes(const std::wstring& portName) const {
    MonitorRegistryKey key(monitor_, portKeyPath(portName));
    return storedRetryMinutes(key.readValue(portvalue::kRetryMinutes));
}

void PortStore::writeRetryMinutes(const std::wstring& portName, DWORD minutes) const {
    MonitorRegistryKey key(monitor_, portKeyPath(portName));
    key.writeNumber(portvalue::kRetryMinutes, minutes);
}

std::vector<std::wstring> PortStore::listPorts() const {
    MonitorRegistryKey key(monitor_, kPortsKey);
    key.create(0, KEY_READ, nullptr);
    std::vector<std::wstring> names;
    for (std::wstring name; key.nextSubkey(name);) names.push_back(name);
    return names;
}
