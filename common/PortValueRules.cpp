#include "PortValueRules.h"

#include "PortKeys.h"

#include <algorithm>
#include <cstring>
#include <string>

const OptionText kOptionTexts[6] = {
    {portvalue::kAddress, &PortOptions::address}, {portvalue::kBuilding, &PortOptions::building},
    {portvalue::kDepartment, &PortOptions::department}, {portvalue::kAttributes, &PortOptions::jobAttributes},
    {portvalue::kName, &PortOptions::name},           {portvalue::kRoom, &PortOptions::room},
};

namespace {

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

bool isNonZeroDecimal(const std::wstring& text) {
    if (text.empty() || !std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; }))
        return false;
    return text.find_first_not_of(L'0') != std::wstring::npos;
}

}  // namespace

std::wstring storedText(const RegistryValue& value) {
    return isStringType(value.type) ? registryText(value.bytes) : std::wstring();
}

DWORD storedFlag(const RegistryValue& value) {
    if (isStringType(value.type)) return isNonZeroDecimal(registryText(value.bytes)) ? 1 : 0;
    if (value.bytes.size() > sizeof(DWORD)) return 0;
    return std::any_of(value.bytes.begin(), value.bytes.end(), [](BYTE b) { return b != 0; }) ? 1 : 0;
}

std::optional<DWORD> retryMinutesOf(const std::wstring& text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of(L"0123456789") != std::wstring::npos)
        return std::nullopt;
    const DWORD minutes = static_cast<DWORD>(std::stoul(text));
    if (minutes > PortSettings::kLongestRetryMinutes) return std::nullopt;
    return minutes;
}

DWORD storedRetryMinutes(const std::optional<RegistryValue>& value) {
    if (!value) return PortSettings::kDefaultRetryMinutes;
    if (isStringType(value->type))
        return retryMinutesOf(registryText(value->bytes)).value_or(PortSettings::kDefaultRetryMinutes);
    if (value->bytes.size() != sizeof(DWORD)) return PortSettings::kDefaultRetryMinutes;
    DWORD minutes = 0;
    std::memcpy(&minutes, value->bytes.data(), sizeof minutes);
    return minutes;
}

void readPortOptions(const StoredValueReader& read, PortOptions& options) {
    for (const OptionText& text : kOptionTexts) {
        auto value = read(text.valueName);
        options.*text.field = value ? storedText(*value) : std::wstring();
    }
    auto show = read(portvalue::kShow);
    options.promptFlag = show ? storedFlag(*show) : 0;
}
