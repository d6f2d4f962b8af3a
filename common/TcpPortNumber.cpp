#include "TcpPortNumber.h"

#include <algorithm>

namespace {

constexpr unsigned long kHighestPort = 65535;

}  // namespace

bool isDecimalNumber(const std::wstring& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

bool isTcpPortNumber(const std::wstring& text) {
    if (!isDecimalNumber(text)) return false;
    unsigned long value = 0;
    for (wchar_t digit : text) {
        value = value * 10 + static_cast<unsigned long>(digit - L'0');
        // Stops before a long text could overflow.
        if (value > kHighestPort) return false;
    }
    return value >= 1;
}
